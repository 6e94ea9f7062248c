#include <gtest/gtest.h>

#include <locale.h>

#include <optional>
#include <string>
#include <tuple>

#include "number_text.h"
#ifndef _WIN32
#include "posix/number_format.h"
#include "support/environment.h"
#endif
#include "support/temp_tree.h"
#include "text.h"

namespace vemor {
namespace {

TEST(ToUpper, MapsUnicodeLettersAndKeepsTheRest) {
    const std::pair<const char*, const char*> cases[] = {
        {"sitzung.dat", "SITZUNG.DAT"},
        {"Sitzung.Dat", "SITZUNG.DAT"},
        {"C:\\Daten\\Anna\\list.dat.bak", "C:\\DATEN\\ANNA\\LIST.DAT.BAK"},
        {"j\xC3\xBCrgen m\xC3\xBCller", "J\xC3\x9CRGEN M\xC3\x9CLLER"},            // ü
        {"\xC5\x9F\xC3\xBCkr\xC3\xBC", "\xC5\x9E\xC3\x9CKR\xC3\x9C"},               // şükrü
        {"\xC5\x82ucja", "\xC5\x81UCJA"},                                           // łucja
        {"stra\xC3\x9F" "e", "STRA\xC3\x9F" "E"},                                   // ß stays
        {"", ""},
        {"123 ;[]=", "123 ;[]="},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(platform::ToUpper(in), out) << in;
}

// A row that Wine reads otherwise than Windows (or, where Windows' tests are silent, than
// decided here) says how; only Wine skips it.
struct NumberCase {
    const char* text;
    std::optional<double> value;
    const char* wine_differs = nullptr;
};

constexpr std::nullopt_t kNoNumber = std::nullopt;

// Windows' reading in en-US, the project's own reader on both builds and the user's on each:
// natively the "C" or an en_US locale, under Wine a process whose LC_ALL and LANG are unset or
// "C" (also C.UTF-8), where VarR8FromStr reads. Only the system's own reading skips the rows
// that Wine reads otherwise.
TEST(TextToNumber, ReadsNumbersAsWindowsDoesInEnUs) {
#ifndef _WIN32
    ASSERT_EQ(platform::posix::UserNumberFormat(), platform::NumberFormat{})
        << "The table is en-US: run the tests with LC_ALL, LC_NUMERIC, LC_MONETARY and LANG unset, C or en_US";
#endif
    const NumberCase cases[] = {
        {"0", 0.0}, {"1", 1.0}, {"00", 0.0}, {"40000", 40000.0}, {"-32769", -32769.0}, {"2.5", 2.5},
        {"", kNoNumber}, {" ", kNoNumber}, {" \t", kNoNumber}, {"abc", kNoNumber}, {"1 2", kNoNumber},
        {"inf", kNoNumber}, {"nan", kNoNumber}, {"1..2", kNoNumber}, {"1.1.", kNoNumber},
        // Blanks, the no-break space among them, around the number and after a sign.
        {" 1 ", 1.0}, {"\t1\t", 1.0}, {"\r\n\v\f1\n", 1.0}, {"\xC2\xA0" "1", 1.0}, {"1\xC2\xA0", 1.0},
        {" - 1", -1.0},
        // One sign, before or after; parentheses for a negative number.
        {"+1", 1.0}, {"1+", 1.0}, {"-5", -5.0}, {"1-", -1.0}, {"0-", 0.0}, {"-", kNoNumber},
        {"-1-", kNoNumber}, {"+1+", kNoNumber}, {"--1", kNoNumber}, {"+ +1", kNoNumber},
        {"(1)", -1.0}, {"(0)", 0.0}, {"( 1 )", -1.0}, {"()", kNoNumber}, {"(1", kNoNumber},
        {"1)", kNoNumber}, {"0()", kNoNumber},
        // Visual Basic's hex and octal integers, and no C ones.
        {"&H0", 0.0}, {"&HFF", 255.0}, {"&hff", 255.0}, {"&O7", 7.0}, {"&o17", 15.0},
        {"&h", kNoNumber}, {"&O8", kNoNumber}, {"&H1e2", 482.0}, {"&H1,0", kNoNumber},
        {"0x10", kNoNumber}, {"FE", kNoNumber}, {"0100", 100.0},
        // Exponents.
        {"1e0", 1.0}, {"1E+2", 100.0}, {"1e-1", 0.1}, {"1.5e20", 1.5e20}, {"1e", kNoNumber},
        {"1e+", kNoNumber}, {"1 e1", kNoNumber}, {"1e1.", kNoNumber},
        {"1e400", kNoNumber}, {"-1e400", kNoNumber}, {"1e-400", 0.0}, {"1e-94938484", 0.0},
        // One decimal point; thousands separators anywhere after the first digit before it.
        {".5", 0.5}, {"5.", 5.0}, {".", kNoNumber}, {",5", kNoNumber}, {",", kNoNumber},
        {"0,0", 0.0}, {"1,000", 1000.0}, {"1,,000", 1000.0}, {"1,0,0", 100.0}, {"1,", 1.0},
        {"1,000.5", 1000.5},
        // The currency symbol, once before the number and after it.
        {"$1", 1.0}, {"1$", 1.0}, {"$ 1", 1.0}, {"1 $", 1.0}, {"-$1", -1.0}, {"$1,234.5", 1234.5},
        {"$$1", kNoNumber}, {"$", kNoNumber}, {"1$99", kNoNumber}, {"\xE2\x82\xAC" "1", kNoNumber},
        // Left open by Windows' tests, decided here; Wine agrees unless the row says otherwise.
        {"1d2", kNoNumber}, {"$1e2", kNoNumber}, {"1e2$", 100.0}, {"&H7FFFFFFF", 2147483647.0},
        {"&H80000000", -2147483648.0}, {"&O20000000000", -2147483648.0}, {"&HFFFFFFFF", kNoNumber},
        {"&H10000000000000000", kNoNumber},
        {"1.000,5", kNoNumber, "Wine reads 1.0005: it takes thousands separators after the decimal point"},
        {"1.5,", kNoNumber, "Wine reads 1.5: it takes thousands separators after the decimal point"},
        {"+1-", kNoNumber, "Wine reads -1: it takes a trailing minus after a leading plus"},
        {"(-1)", kNoNumber, "Wine reads -1: it takes a sign within parentheses"},
        {"1e+-2", kNoNumber, "Wine reads 0.01: it takes any number of signs in an exponent"},
        {"-&H1", -1.0, "Wine reads 1: it drops the sign of hex and octal numbers"},
        {"1e-310", 0.0, "Wine 8 keeps the denormal; newer Wine makes it 0 as well"},
    };
    for (const auto& [text, value, wine_differs] : cases) {
        EXPECT_EQ(platform::TextToNumber(text, platform::NumberFormat{}), value) << "own reader: \"" << text << '"';
        if (wine_differs != nullptr && test::RunsUnderWine()) continue;
        EXPECT_EQ(platform::TextToNumber(text), value) << "user's reader: \"" << text << '"';
    }
}

// The same rules with other locales' separators, on both builds.
TEST(TextToNumber, ReadsTheSeparatorsOfTheFormat) {
    using platform::NumberFormat;
    const NumberFormat german{",", ".", "\xE2\x82\xAC"};
    const NumberFormat french{",", "\xE2\x80\xAF", "\xE2\x82\xAC"};  // a narrow no-break space
    const NumberFormat same{",", ",", ""};  // no currency symbol is "$"
    const std::tuple<const NumberFormat&, const char*, std::optional<double>> cases[] = {
        {german, "0,0", 0.0}, {german, "1,5", 1.5}, {german, "1.000,5", 1000.5}, {german, "1.5", 15.0},
        {german, "1.0.0", 100.0}, {german, ",5", 0.5}, {german, "5,", 5.0}, {german, ".5", kNoNumber},
        {german, ",", kNoNumber}, {german, "1,000", 1.0}, {german, "1,5e2", 150.0},
        {german, "1 000", kNoNumber}, {german, "1,5,0", kNoNumber}, {german, "1,5.0", kNoNumber},
        {german, "\xE2\x82\xAC" "1", 1.0}, {german, "1 \xE2\x82\xAC", 1.0}, {german, "1\xE2\x82\xAC", 1.0},
        {german, "$1", kNoNumber}, {german, "-1,5", -1.5}, {german, "1,5-", -1.5}, {german, "(1,5)", -1.5},
        {german, "&HFF", 255.0},
        {french, "1\xE2\x80\xAF" "000,5", 1000.5}, {french, "1 000", kNoNumber},
        {french, "\xE2\x80\xAF" "1", kNoNumber},
        {same, ",5", 0.5}, {same, "1,5", 1.5}, {same, "1,5,5", kNoNumber}, {same, "$1", 1.0},
        {german, "1e308", 1e308},  // the nearest double, which Wine misses by a little
    };
    for (const auto& [format, text, value] : cases)
        EXPECT_EQ(platform::TextToNumber(text, format), value) << '"' << text << "\" with " << format.decimal;
}

#ifndef _WIN32
// Natively the user's locale decides, in the C library's order: LC_ALL, the category's own
// variable, LANG.
TEST(TextToNumber, TakesTheFormatFromTheEnvironment) {
    const locale_t installed = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    ASSERT_NE(installed, static_cast<locale_t>(0)) << "de_DE.UTF-8 is not installed; scripts/test.sh installs it";
    freelocale(installed);
    using platform::NumberFormat;
    const NumberFormat german{",", ".", "\xE2\x82\xAC"};
    const struct {
        const char* lc_all;
        const char* lc_numeric;
        const char* lc_monetary;
        const char* lang;
        NumberFormat format;
    } cases[] = {
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", german},
        {"de_DE.UTF-8", nullptr, nullptr, "C", german},
        {"C", "de_DE.UTF-8", nullptr, "de_DE.UTF-8", NumberFormat{}},
        {nullptr, "de_DE.UTF-8", nullptr, "C.UTF-8", {",", ".", "$"}},
        {nullptr, nullptr, "de_DE.UTF-8", "POSIX", {".", ",", "\xE2\x82\xAC"}},
        {nullptr, nullptr, nullptr, "xx_XX.UTF-8", NumberFormat{}},  // not installed
    };
    const auto value = [](const char* text) { return text ? std::optional<std::string>(text) : std::nullopt; };
    for (const auto& c : cases) {
        const test::ScopedVariable all("LC_ALL", value(c.lc_all)), numeric("LC_NUMERIC", value(c.lc_numeric)),
            monetary("LC_MONETARY", value(c.lc_monetary)), lang("LANG", value(c.lang));
        platform::posix::RereadUserNumberFormat();
        const NumberFormat& format = platform::posix::UserNumberFormat();
        EXPECT_EQ(format, c.format) << "LANG=" << c.lang << ": " << format.decimal << format.grouping << format.currency;
        EXPECT_EQ(platform::TextToNumber("1,5"), c.format.decimal == "," ? 1.5 : 15.0) << "LANG=" << c.lang;
    }
    platform::posix::RereadUserNumberFormat();
}
#endif

}  // namespace
}  // namespace vemor
