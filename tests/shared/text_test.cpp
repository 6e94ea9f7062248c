#include <gtest/gtest.h>

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

TEST(TextToNumber, AcceptsDecimalNumbersOnly) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"0", 0.0},   {"1", 1.0},      {" 1 ", 1.0},     {"-5", -5.0},   {"+3", 3.0},
        {"00", 0.0},  {"40000", 40000.0}, {"-32769", -32769.0}, {"2.5", 2.5},
        {"", std::nullopt},   {" ", std::nullopt}, {"abc", std::nullopt},
        {"0x", std::nullopt}, {"1 2", std::nullopt}, {"-", std::nullopt},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(platform::TextToNumber(in), out) << '"' << in << '"';
}

#ifndef _WIN32
// Natively the format is ours and strict; on Windows the user's locale decides.
TEST(TextToNumber, PosixRejectsWhatOnlyLocalesOrCLibrariesAccept) {
    for (const char* text : {"1,5", "inf", "nan", "1e3", "0x10", "1..2", "--1", "\xC2\xA0" "1"})
        EXPECT_FALSE(platform::TextToNumber(text).has_value()) << text;
}
#endif

}  // namespace
}  // namespace vemor
