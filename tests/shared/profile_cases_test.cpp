// One table of profile-file reads, run against whichever backend is built: the POSIX
// reader natively and the Windows profile functions under Wine must agree on every row.
#include <gtest/gtest.h>

#include "profile.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using test::Crlf;
using test::TempTree;
using test::Utf16BeWithBom;
using test::Utf16LeWithBom;

constexpr const char* kWineReadsUtf8 = "Wine reads a file with the UTF-8 mark as UTF-8";
constexpr const char* kWineReadsUtf16Be = "Wine reads and writes UTF-16 in big-endian order";


struct ReadCase {
    const char* name;
    std::string bytes;       // file contents; "" with no_file means the file is missing
    const char* section;
    const char* key;
    const char* fallback;
    std::size_t size;
    std::string text;
    std::size_t count;
    bool no_file = false;
    const char* wine_differs = nullptr;  // how Wine's own functions differ from Windows here
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

const ReadCase kReadCases[] = {
    {"crlf", Crlf("[Optionen]\nNormdaten=0\n"), "Optionen", "Normdaten", "", 128, "0", 1},
    {"lf_only", "[Optionen]\nNormdaten=0\nX=1\n", "Optionen", "X", "", 128, "1", 1},
    {"lone_cr", "[Optionen]\rNormdaten=0\rX=2\r", "Optionen", "X", "", 128, "2", 1},
    {"no_final_line_end", "[Optionen]\r\nNormdaten=7", "Optionen", "Normdaten", "", 128, "7", 1},
    {"blanks_and_tabs_trimmed", Crlf("  [Optionen]  \n \t Normdaten \t=\t 0 1 \t \n"),
     "Optionen", "Normdaten", "", 128, "0 1", 3},
    {"blanks_inside_brackets", Crlf("[ Optionen\t]\nNormdaten=0\n"), "Optionen", "Normdaten", "", 128, "0", 1},
    {"base64_keeps_equals", Crlf("[Optionen]\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\n"),
     "Optionen", "Identifikation", "", 128, "UVJYX0RfU1RBTkRBUkRfX0tGMQ==", 28},
    {"no_inline_comment", Crlf("[Optionen]\nNormdaten=0 ; gepr\xFC" "ft\n"), "Optionen", "Normdaten", "", 128,
     "0 ; gepr\xC3\xBC" "ft", 11},
    {"semicolon_line_is_comment", Crlf("[Optionen]\n;Normdaten=1\n"), "Optionen", "Normdaten", "d", 128, "d", 1},
    {"hash_line_is_a_key", Crlf("[Optionen]\n#Normdaten=1\n"), "Optionen", "#Normdaten", "d", 128, "1", 1},
    {"names_ignore_case", Crlf("[OPTIONEN]\nnormdaten=0\n"), "optionen", "NormDaten", "", 128, "0", 1},
    {"first_duplicate_key_wins", Crlf("[Optionen]\nNormdaten=0\nNormdaten=1\n"), "Optionen", "Normdaten", "", 128, "0", 1},
    {"first_duplicate_section_wins", Crlf("[Optionen]\nA=1\n[Optionen]\nNormdaten=1\n"), "Optionen", "Normdaten", "d", 128, "d", 1},
    {"keys_before_any_section", Crlf("Normdaten=1\n[Optionen]\nA=1\n"), "Optionen", "Normdaten", "d", 128, "d", 1},
    {"double_quotes_stripped", Crlf("[S]\nK=\"a b\"\n"), "S", "K", "", 128, "a b", 3},
    {"single_quotes_stripped", Crlf("[S]\nK='x'\n"), "S", "K", "", 128, "x", 1},
    {"unmatched_quotes_stay", Crlf("[S]\nK=\"x'\n"), "S", "K", "", 128, "\"x'", 3},
    {"lone_quote_stays", Crlf("[S]\nK=\"\n"), "S", "K", "", 128, "\"", 1},
    {"empty_value_is_text", Crlf("[S]\nK=\n"), "S", "K", "d", 128, "", 0},
    {"key_without_equals", Crlf("[S]\nK\n"), "S", "K", "d", 128, "d", 1},
    {"missing_key_gives_default", Crlf("[S]\nA=1\n"), "S", "K", "0", 128, "0", 1},
    {"missing_section_gives_default", Crlf("[S]\nK=1\n"), "T", "K", "x", 128, "x", 1},
    {"default_trailing_blanks_cut", Crlf("[S]\n"), "S", "K", "  d  ", 128, "  d", 3},
    {"missing_file_gives_default", "", "S", "K", "Anna", 128, "Anna", 4, true},
    {"value_126_fits", Crlf("[S]\nK=" + Repeat('a', 126) + "\n"), "S", "K", "", 128, Repeat('a', 126), 126},
    {"value_127_is_cut", Crlf("[S]\nK=" + Repeat('a', 127) + "\n"), "S", "K", "", 128, Repeat('a', 127), 127},
    {"value_200_is_cut", Crlf("[S]\nK=" + Repeat('b', 200) + "\n"), "S", "K", "", 128, Repeat('b', 127), 127},
    {"value_40000_in_large_buffer", Crlf("[S]\nK=" + Repeat('c', 40000) + "\n"), "S", "K", "", 32000, Repeat('c', 31999), 31999},
    {"default_is_cut_too", Crlf("[S]\n"), "S", "K", "abcdef", 4, "abc", 3},
    {"cp1252_umlauts", Crlf("[UserData]\nVorname=J\xFCrgen \x80\n"), "UserData", "Vorname", "", 128,
     "J\xC3\xBCrgen \xE2\x82\xAC", 8},
    {"utf16_with_bom", Utf16LeWithBom(u"[UserData]\r\nVorname=\u0141ucja\r\n"), "UserData", "Vorname", "", 128,
     "\xC5\x81ucja", 5},
    {"blanks_around_requested_names", Crlf("[Optionen]\nNormdaten=0\n"), " Optionen\t", "\tNormdaten ", "d", 128, "0", 1},
    {"utf8_mark_belongs_to_the_first_line", "\xEF\xBB\xBF" + Crlf("[Optionen]\nNormdaten=0\n"), "Optionen", "Normdaten",
     "d", 128, "d", 1, false, kWineReadsUtf8},
    {"text_after_utf8_mark_is_cp1252", "\xEF\xBB\xBF" + Crlf("\n[UserData]\nVorname=J\xC3\xBCrgen\n"), "UserData",
     "Vorname", "", 128, "J\xC3\x83\xC2\xBCrgen", 7, false, kWineReadsUtf8},
    {"utf16_big_endian_is_not_read", Utf16BeWithBom(u"[Optionen]\r\nNormdaten=0\r\n"), "Optionen", "Normdaten", "d",
     128, "d", 1, false, kWineReadsUtf16Be},
};

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, GivesWhatTheWindowsFunctionsGive) {
    const ReadCase& c = GetParam();
    if (test::RunsUnderWine() && c.wine_differs) GTEST_SKIP() << c.wine_differs;
    TempTree tree;
    if (!c.no_file) tree.File("sitzung.dat", c.bytes);
    const auto read = platform::ReadProfileText(tree.Path("sitzung.dat"), c.section, c.key, c.fallback, c.size);
    EXPECT_EQ(read.text, c.text);
    EXPECT_EQ(read.count, c.count);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ProfileRead, FileNameLetterCaseIsIgnored) {
    TempTree tree;
    tree.File("Anna/Sitzung.DAT", Crlf("[Optionen]\nNormdaten=0\n"));
    EXPECT_EQ(platform::ReadProfileText(tree.Path("Anna/sitzung.dat"), "Optionen", "Normdaten", "x", 128).text, "0");
}

// Files already in the form the Windows writer produces, so that both backends must leave
// them byte for byte as shown.
struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
    const char* read_back = nullptr;     // nullptr: the value written
    const char* wine_differs = nullptr;  // how Wine's own functions differ from Windows here
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

const WriteCase kWriteCases[] = {
    {"replaces_value_in_place", Crlf("[TreeData]\nObjektTyp=2\n[Optionen]\nNormdaten=0\nAuswertung=1\n"),
     "Optionen", "Normdaten", "1", Crlf("[TreeData]\nObjektTyp=2\n[Optionen]\nNormdaten=1\nAuswertung=1\n")},
    {"keeps_key_spelling", Crlf("[optionen]\nNORMDATEN=0\n"), "Optionen", "Normdaten", "1",
     Crlf("[optionen]\nNORMDATEN=1\n")},
    {"adds_key_to_its_section", Crlf("[Optionen]\nA=1\n[Ergebnisse]\nB=2\n"), "Optionen", "Normdaten", "1",
     Crlf("[Optionen]\nA=1\nNormdaten=1\n[Ergebnisse]\nB=2\n")},
    {"adds_section_at_end", Crlf("[TreeData]\nA=1\n"), "Optionen", "Normdaten", "1",
     Crlf("[TreeData]\nA=1\n[Optionen]\nNormdaten=1\n")},
    {"only_first_duplicate_changes", Crlf("[Optionen]\nNormdaten=0\nNormdaten=0\n"), "Optionen", "Normdaten", "1",
     Crlf("[Optionen]\nNormdaten=1\nNormdaten=0\n")},
    {"keeps_cp1252_bytes", Crlf("[TreeData]\nBezeichnung=M\xE4rz\n[Optionen]\nNormdaten=0\n"), "Optionen", "Normdaten", "1",
     Crlf("[TreeData]\nBezeichnung=M\xE4rz\n[Optionen]\nNormdaten=1\n")},
    {"keeps_utf16", Utf16LeWithBom(u"[Optionen]\r\nNormdaten=0\r\n"), "Optionen", "Normdaten", "1",
     Utf16LeWithBom(u"[Optionen]\r\nNormdaten=1\r\n")},
    {"unterminated_last_line_gets_crlf", "[Optionen]\r\nNormdaten=0", "Optionen", "Normdaten", "1",
     Crlf("[Optionen]\nNormdaten=1\n")},
    {"blanks_around_requested_names", Crlf("[TreeData]\nA=1\n"), " Optionen ", " Normdaten ", "1",
     Crlf("[TreeData]\nA=1\n[Optionen]\nNormdaten=1\n"), nullptr, "Wine keeps the trailing blanks: [Optionen ], Normdaten ="},
    {"utf8_marked_file_stays_cp1252", "\xEF\xBB\xBF" + Crlf("\n[UserData]\nName=alt\n"), "UserData", "Name",
     "M\xC3\xBCller", "\xEF\xBB\xBF" + Crlf("\n[UserData]\nName=M\xFCller\n"), nullptr, kWineReadsUtf8},
    {"utf16_mark_alone_gets_a_line_end_first", "\xFF\xFE", "Optionen", "Normdaten", "1",
     Utf16LeWithBom(u"\r\n[Optionen]\r\nNormdaten=1\r\n"), nullptr, "Wine writes no line end after the mark"},
    {"utf16_big_endian_gets_cp1252_appended", Utf16BeWithBom(u"[A]\r\nB=1\r\n"), "Optionen", "Normdaten", "1",
     Utf16BeWithBom(u"[A]\r\nB=1\r\n") + Crlf("[Optionen]\nNormdaten=1\n"), "", kWineReadsUtf16Be},
};

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyThatLine) {
    const WriteCase& c = GetParam();
    if (test::RunsUnderWine() && c.wine_differs) GTEST_SKIP() << c.wine_differs;
    TempTree tree;
    tree.File("sitzung.dat", c.before);
    EXPECT_TRUE(platform::WriteProfileText(tree.Path("sitzung.dat"), c.section, c.key, c.value));
    EXPECT_EQ(tree.Read("sitzung.dat"), c.after);
    EXPECT_EQ(platform::ReadProfileText(tree.Path("sitzung.dat"), c.section, c.key, "", 128).text,
              c.read_back ? c.read_back : c.value);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWrite, ::testing::ValuesIn(kWriteCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace vemor
