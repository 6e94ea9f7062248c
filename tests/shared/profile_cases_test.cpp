// Tables of profile-file reads and writes with Windows' results. The project's engine answers
// every row on both builds; under Wine the system's own profile functions answer them too,
// as the reference, except where a row says how Wine's differ.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <tuple>

#ifdef _WIN32
#include <windows.h>

#include "utf16.h"
#else
#include <unistd.h>
#endif
#include "profile.h"
#include "recovery.h"
#include "recovery_record.h"
#include "support/child.h"
#include "support/holders.h"
#include "support/temp_tree.h"
#include "test_hooks.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }
void SetVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }
#else
long ProcessId() { return static_cast<long>(getpid()); }
void SetVariable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
#endif

// Every process of the tests keeps the records of its writes in a folder of its own, which the
// programs and test children it starts inherit, so that no test finds another's records.
class OwnRecordFolder {
public:
    OwnRecordFolder() {
        const char* inherited = std::getenv(kVariable);
        if (inherited == nullptr) {
            made_ = fs::temp_directory_path() / ("vemor-state-" + std::to_string(ProcessId()));
            fs::create_directories(made_ / "vemor-patch");
            SetVariable(kVariable, made_.string());
        }
        const fs::path state = inherited ? fs::path(inherited) : made_;
        platform::test_hooks::record_folder = (state / "vemor-patch").string() + static_cast<char>(fs::path::preferred_separator);
    }
    ~OwnRecordFolder() {
        std::error_code ignored;
        if (!made_.empty()) fs::remove_all(made_, ignored);
    }

private:
    static constexpr const char* kVariable = "XDG_STATE_HOME";
    fs::path made_;
};
const OwnRecordFolder kOwnRecordFolder;

using platform::FileProblem;
using platform::ProfileStep;
using platform::test_hooks::WriteStage;
using test::Crlf;
using test::TempTree;
using test::Utf16BeWithBom;
using test::Utf16LeWithBom;

constexpr const char* kWineReadsUtf8 = "Wine reads a file with the UTF-8 mark as UTF-8";
constexpr const char* kWineReadsUtf16Be = "Wine reads and writes UTF-16 in big-endian order";
constexpr const char* kWineStripsTabs = "Wine strips tabs around the names asked for as well";
constexpr const char* kWineMissesEmptySection = "Wine takes the keys before the first section for an empty section name";

// Who answers a row: the project's engine, or the system's profile functions (Windows only).
enum class Through { kEngine, kSystem };

std::string Name(Through through) { return through == Through::kEngine ? "engine" : "system"; }

const auto kThrough =
#ifdef _WIN32
    ::testing::Values(Through::kEngine, Through::kSystem);
#else
    ::testing::Values(Through::kEngine);
#endif

platform::ProfileText Read(Through through, const std::string& file, const char* section, const char* key,
                           const char* fallback, std::size_t size) {
#ifdef _WIN32
    if (through == Through::kSystem) {
        using platform::Utf16;
        std::wstring buffer(size + 1, L' ');
        const DWORD count = GetPrivateProfileStringW(Utf16(section).c_str(), Utf16(key).c_str(), Utf16(fallback).c_str(),
                                                     buffer.data(), static_cast<DWORD>(size), Utf16(file).c_str());
        return {platform::Utf8(std::wstring_view(buffer.data(), count)), count};
    }
#endif
    (void)through;
    return platform::ReadProfileText(file, section, key, fallback, size);
}

bool Write(Through through, const std::string& file, const char* section, const char* key, const char* value) {
#ifdef _WIN32
    if (through == Through::kSystem) {
        using platform::Utf16;
        return WritePrivateProfileStringW(Utf16(section).c_str(), Utf16(key).c_str(), Utf16(value).c_str(),
                                          Utf16(file).c_str()) != FALSE;
    }
#endif
    (void)through;
    return static_cast<bool>(platform::WriteProfileText(file, section, key, value));
}


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
    {"blanks_around_requested_names", Crlf("[Optionen]\nNormdaten=0\n"), "  Optionen ", " Normdaten  ", "d", 128, "0", 1},
    // From Wine's conformance tests, which record Windows' answers.
    {"empty_section_name_is_the_empty_brackets", Crlf("\nkey=val_no_section\n[]\nkey=val_e_section\n[s]\n"), "",
     "key", "d", 128, "val_e_section", 13, false, kWineMissesEmptySection},
    {"empty_key_name_is_the_line_starting_with_equals", Crlf("[s]\n=val_no_key\n[t]\n"), "s", "", "d", 128,
     "val_no_key", 10},
    {"empty_key_name_matches_no_named_key", Crlf("[S]\nname1=val1\nname3\n"), "S", "", "d", 128, "d", 1},
    {"size_0_gives_nothing", Crlf("[S]\nK=a\n"), "S", "K", "d", 0, "", 0},
    {"size_1_gives_nothing", Crlf("[S]\nK=a\n"), "S", "K", "d", 1, "", 0},
    {"nul_byte_after_last_line", Crlf("[S]\nA=1\nK=val4\n") + std::string(1, '\0'), "S", "K", "d", 128, "val4", 4},
    {"tab_before_requested_section_is_part_of_it", Crlf("[SectionName]\nKey=1\n"), "\tSectionName", "Key", "d", 128,
     "d", 1, false, kWineStripsTabs},
    {"tab_after_requested_key_is_part_of_it", Crlf("[SectionName]\nKey=1\n"), "SectionName", "Key\t", "d", 128, "d",
     1, false, kWineStripsTabs},
    {"utf8_mark_belongs_to_the_first_line", "\xEF\xBB\xBF" + Crlf("[Optionen]\nNormdaten=0\n"), "Optionen", "Normdaten",
     "d", 128, "d", 1, false, kWineReadsUtf8},
    {"text_after_utf8_mark_is_cp1252", "\xEF\xBB\xBF" + Crlf("\n[UserData]\nVorname=J\xC3\xBCrgen\n"), "UserData",
     "Vorname", "", 128, "J\xC3\x83\xC2\xBCrgen", 7, false, kWineReadsUtf8},
    {"utf16_big_endian_is_not_read", Utf16BeWithBom(u"[Optionen]\r\nNormdaten=0\r\n"), "Optionen", "Normdaten", "d",
     128, "d", 1, false, kWineReadsUtf16Be},
};

class ProfileRead : public ::testing::TestWithParam<std::tuple<ReadCase, Through>> {};

TEST_P(ProfileRead, GivesWhatTheWindowsFunctionsGive) {
    const auto& [c, through] = GetParam();
    if (through == Through::kSystem && test::RunsUnderWine() && c.wine_differs) GTEST_SKIP() << c.wine_differs;
    TempTree tree;
    if (!c.no_file) tree.File("sitzung.dat", c.bytes);
    const auto read = Read(through, tree.Path("sitzung.dat"), c.section, c.key, c.fallback, c.size);
    EXPECT_EQ(read.text, c.text);
    EXPECT_EQ(read.count, c.count);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRead, ::testing::Combine(::testing::ValuesIn(kReadCases), kThrough),
                         [](const auto& param_info) {
                             return std::string(std::get<0>(param_info.param).name) + "_" +
                                    Name(std::get<1>(param_info.param));
                         });

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
    {"utf16_big_endian_second_write_edits_what_the_first_appended",
     Utf16BeWithBom(u"[A]\r\nB=1\r\n") + Crlf("[Optionen]\nNormdaten=0\n"), "Optionen", "Normdaten", "1",
     Utf16BeWithBom(u"[A]\r\nB=1\r\n") + Crlf("[Optionen]\nNormdaten=1\n"), "", kWineReadsUtf16Be},
    {"utf16_big_endian_second_write_adds_to_the_appended_section",
     Utf16BeWithBom(u"[A]\r\nB=1\r\n") + Crlf("[Optionen]\nNormdaten=1\n"), "Optionen", "Auswertung", "2",
     Utf16BeWithBom(u"[A]\r\nB=1\r\n") + Crlf("[Optionen]\nNormdaten=1\nAuswertung=2\n"), "", kWineReadsUtf16Be},
    {"empty_file_gets_section_with_empty_value", "", "App", "key", "", Crlf("[App]\nkey=\n")},
    {"nul_bytes_kept_and_section_added_after_unterminated_line", std::string("Data \0 before \0 first \0 section", 31),
     "section1", "key1", "string1",
     std::string("Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n", 59), nullptr,
     "Wine cuts the file at its first NUL byte"},
    {"tabs_around_written_section_stay", Crlf("[A]\nB=1\n"), "\tsec\t", "K", "v", Crlf("[A]\nB=1\n[\tsec\t]\nK=v\n"),
     "", kWineStripsTabs},
};

class ProfileWrite : public ::testing::TestWithParam<std::tuple<WriteCase, Through>> {};

TEST_P(ProfileWrite, ChangesOnlyThatLine) {
    const auto& [c, through] = GetParam();
    if (through == Through::kSystem && test::RunsUnderWine() && c.wine_differs) GTEST_SKIP() << c.wine_differs;
    TempTree tree;
    tree.File("s/sitzung.dat", c.before);
    EXPECT_TRUE(Write(through, tree.Path("s/sitzung.dat"), c.section, c.key, c.value));
    EXPECT_EQ(tree.Read("s/sitzung.dat"), c.after);
    EXPECT_EQ(Read(through, tree.Path("s/sitzung.dat"), c.section, c.key, "", 128).text,
              c.read_back ? c.read_back : c.value);
    EXPECT_EQ(tree.Names("s"), (std::vector<std::string>{"sitzung.dat"})) << "nothing else is left";
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWrite, ::testing::Combine(::testing::ValuesIn(kWriteCases), kThrough),
                         [](const auto& param_info) {
                             return std::string(std::get<0>(param_info.param).name) + "_" +
                                    Name(std::get<1>(param_info.param));
                         });


std::string Norm(const std::string& value) { return "[Optionen]\r\nNormdaten=" + value + "\r\n"; }

std::string ReadNorm(ProfileStep& step) { return step.Read("Optionen", "Normdaten", "fehlt", 128).text; }

// The same time for every file set with it, long past.
void SetModified(const TempTree& tree, const char* file) {
    fs::last_write_time(tree.Fs(file), fs::file_time_type(std::chrono::hours(24 * 365 * 30)));
}

struct ChangeCase {
    const char* name;
    std::function<void(const TempTree&)> change;
    const char* expected;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

const ChangeCase kChanges[] = {
    {"other_size", [](const TempTree& t) { t.File("s/sitzung.dat", Norm("10")); }, "10"},
    {"same_size_same_time",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", Norm("1"));
         SetModified(t, "s/sitzung.dat");
     },
     "1"},
    // Windows lets no file take the place of one a step has open.
    {"replaced_by_rename_with_same_size_and_time",
     [](const TempTree& t) {
         t.File("s/neu.dat", Norm("1"));
         SetModified(t, "s/neu.dat");
         std::error_code refused;
         fs::rename(t.Fs("s/neu.dat"), t.Fs("s/sitzung.dat"), refused);
         if (refused) fs::remove(t.Fs("s/neu.dat"));
     },
#ifdef _WIN32
     "0"},
#else
     "1"},
#endif
    {"removed", [](const TempTree& t) { fs::remove(t.Fs("s/sitzung.dat")); }, "fehlt"},
};

class ProfileSteps : public ::testing::TestWithParam<ChangeCase> {};

// Each step reads its file once: inside a step the first version holds; the next step sees
// the change.
TEST_P(ProfileSteps, SeeEveryChangeMadeBeforeThemAndNoneWithin) {
    TempTree tree;
    tree.File("s/sitzung.dat", Norm("0"));
    SetModified(tree, "s/sitzung.dat");
    {
        ProfileStep step(tree.Path("s/sitzung.dat"));
        ASSERT_EQ(ReadNorm(step), "0");
        GetParam().change(tree);
        EXPECT_EQ(ReadNorm(step), "0") << "one step reads one version";
    }
    ProfileStep next(tree.Path("s/sitzung.dat"));
    EXPECT_EQ(ReadNorm(next), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Changes, ProfileSteps, ::testing::ValuesIn(kChanges),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A write goes into the version of the file the step read, or nowhere, and says why not; the
// value read back by name in the same step afterwards is what the file holds then, and a file
// that is not the one written is no patch.
struct GuardCase {
    const char* name;
    std::function<test::Holder(const TempTree&)> change;
    std::optional<FileProblem::Kind> refused;  // what the step tells after its read-back; nothing: patched
    const char* after;                         // the file under the name; nullptr: no file is there
    const char* read_back;
    bool while_held = false;  // the change comes once the write holds the file and has compared it
    bool damaged = false;     // the write says the file could not be put back, and keeps a record
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

const std::string kRead = Norm("0");
const std::string kPatched = Norm("1");
const std::string kOther = Norm("0") + "X=1\r\n";
const std::string kSameSize = Norm("5");
const auto kChanged = FileProblem::Kind::kChanged;
const auto kLocked = FileProblem::Kind::kLocked;

test::Holder Nothing() { return nullptr; }

// Another file put under the name: moved there in one step, as a program saves through a copy.
// Windows lets no file take the place of one that is open.
test::Holder RenamedOver(const TempTree& t) {
    t.File("s/neu.dat", kOther);
    std::error_code refused;
    fs::rename(t.Fs("s/neu.dat"), t.Fs("s/sitzung.dat"), refused);
    if (refused) fs::remove(t.Fs("s/neu.dat"));
    return Nothing();
}

const GuardCase kGuards[] = {
    {"unchanged", [](const TempTree&) { return Nothing(); }, std::nullopt, kPatched.c_str(), "1"},
    {"removed",
     [](const TempTree& t) {
         fs::remove(t.Fs("s/sitzung.dat"));
         return Nothing();
     },
     kChanged, nullptr, "fehlt"},
    {"changed_by_someone_else",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", kOther);
         return Nothing();
     },
     kChanged, kOther.c_str(), "0"},
    // Another run of ours, say, that patched it first.
    {"patched_by_someone_else",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", kPatched);
         return Nothing();
     },
     kChanged, kPatched.c_str(), "1"},
    {"changed_keeping_size_and_time",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", kSameSize);
         SetModified(t, "s/sitzung.dat");
         return Nothing();
     },
     kChanged, kSameSize.c_str(), "5"},
    {"replaced_by_a_folder",
     [](const TempTree& t) {
         fs::remove(t.Fs("s/sitzung.dat"));
         std::error_code refused;  // Windows keeps the name while a handle of ours is open
         fs::create_directory(t.Fs("s/sitzung.dat"), refused);
         return Nothing();
     },
     kChanged, nullptr, "fehlt"},
    // A write that fails, and its put-back too: a same-length edit is one call, yet its put-back
    // is read again before anything counts as restored.
    {"write_and_put_back_fail",
     [](const TempTree&) {
         platform::test_hooks::cut_write = [](platform::test_hooks::WriteCall) { return std::size_t{0}; };
         return Nothing();
     },
     FileProblem::Kind::kNoSpace, kRead.c_str(), "0", false, true},
    {"write_protected",
     [](const TempTree& t) {
         test::MakeReadOnly(t.Fs("s/sitzung.dat"));
         return Nothing();
     },
     FileProblem::Kind::kReadOnly, kRead.c_str(), "0"},
#ifdef _WIN32
    // A folder's read-only attribute protects nothing on Windows, and a change in place needs
    // no right to the folder.
    {"held_open_for_writing",
     [](const TempTree& t) { return test::HoldOpen(t.Fs("s/sitzung.dat"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE); },
     kLocked, kRead.c_str(), "0"},
    {"held_open_without_write_sharing",
     [](const TempTree& t) { return test::HoldOpen(t.Fs("s/sitzung.dat"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE); },
     kLocked, kRead.c_str(), "0"},
    {"held_open_for_reading_without_delete_sharing",
     [](const TempTree& t) { return test::HoldOpen(t.Fs("s/sitzung.dat"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE); },
     std::nullopt, kPatched.c_str(), "1"},
    {"held_open_by_a_program_that_wrote_a_1",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", kPatched);
         return test::HoldOpen(t.Fs("s/sitzung.dat"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
     },
     kLocked, kPatched.c_str(), "1"},
    {"renamed_over_while_held", RenamedOver, std::nullopt, kPatched.c_str(), "1", true},
#else
    // A change in place needs the right to write the file, not its folder.
    {"in_a_write_protected_folder",
     [](const TempTree& t) {
         test::MakeReadOnly(t.Fs("s"));
         return Nothing();
     },
     std::nullopt, kPatched.c_str(), "1"},
    {"held_with_flock", [](const TempTree& t) { return test::HoldLocked(t.Fs("s/sitzung.dat"), test::Lock::kFlock); },
     kLocked, kRead.c_str(), "0"},
    {"held_with_a_record_lock",
     [](const TempTree& t) { return test::HoldLocked(t.Fs("s/sitzung.dat"), test::Lock::kRecord); }, kLocked,
     kRead.c_str(), "0"},
    {"held_by_a_program_that_wrote_a_1",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", kPatched);
         return test::HoldLocked(t.Fs("s/sitzung.dat"), test::Lock::kFlock);
     },
     kLocked, kPatched.c_str(), "1"},
    // The write goes into the file it holds; the name leads elsewhere by the read-back, and the
    // file it leads to now is left alone.
    {"renamed_over_while_held", RenamedOver, kChanged, kOther.c_str(), "fehlt", true},
    {"swapped_for_a_link_while_held",
     [](const TempTree& t) {
         t.File("fremd/geheim.dat", kOther);
         fs::create_symlink(t.Fs("fremd/geheim.dat"), t.Fs("s/link"));
         fs::rename(t.Fs("s/link"), t.Fs("s/sitzung.dat"));
         return Nothing();
     },
     kChanged, kOther.c_str(), "fehlt", true},
#endif
};

std::optional<FileProblem::Kind> KindOf(const std::optional<FileProblem>& problem) {
    return problem ? std::optional(problem->kind) : std::nullopt;
}

class GuardedWrite : public ::testing::TestWithParam<GuardCase> {};

TEST_P(GuardedWrite, GoesOnlyIntoTheVersionReadAndSaysWhyNot) {
    const GuardCase& c = GetParam();
    TempTree tree;
    tree.File("s/sitzung.dat", kRead);
    ProfileStep step(tree.Path("s/sitzung.dat"));
    ASSERT_EQ(ReadNorm(step), "0");
    test::Holder held;
    if (c.while_held) {
        platform::test_hooks::write_stage = [&](WriteStage stage) {
            if (stage == WriteStage::kHeld) held = c.change(tree);
        };
    } else {
        held = c.change(tree);
    }
    const platform::WriteResult result = step.Write("Optionen", "Normdaten", "1");
    platform::test_hooks::write_stage = nullptr;
    platform::test_hooks::cut_write = nullptr;
    EXPECT_EQ(result.problem && !result.problem->kept_in.empty(), c.damaged);
    // The write refuses with its reason, or its read-back finds out: Wine lets a file deleted
    // meanwhile be written.
    if (result.problem) {
        EXPECT_EQ(KindOf(result.problem), c.refused);
    }
    EXPECT_EQ(ReadNorm(step), c.read_back);
    EXPECT_EQ(KindOf(step.WriteProblem()), c.refused);
    if (c.after) EXPECT_EQ(tree.Read("s/sitzung.dat"), c.after);
    else EXPECT_FALSE(fs::is_regular_file(tree.Fs("s/sitzung.dat")));
    fs::permissions(tree.Fs("s"), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_LE(tree.Names("s").size(), 1u) << "nothing is left beside the file";
    // The next run, once the step has let go, finds each file as it was or as written, and no
    // record stays.
    step = ProfileStep(tree.Path("s/sitzung.dat"));
    for (const platform::Recovery& recovery : platform::RecoverInterruptedWrites())
        EXPECT_NE(recovery.kind, platform::Recovery::Kind::kKept) << recovery.file;
    EXPECT_TRUE(fs::is_empty(platform::test_hooks::record_folder));
}

INSTANTIATE_TEST_SUITE_P(Changes, GuardedWrite, ::testing::ValuesIn(kGuards),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A write ended at any moment, as a crash ends it, leaves the file as it was or as patched once
// the next run has gone over the records, and nothing beside it nor any record. The write runs
// in a child process that dies at the stage; writes may be cut short before, as on a full disk.
struct StageCase {
    const char* name;
    std::string before;
    WriteStage stage;
    std::string after;  // what the file holds after the death and the next run
    int edit_cut = -1;      // the write stops after this many bytes; -1: it does not
    int put_back_cut = -1;  // and its put-back after this many
};

void PrintTo(const StageCase& c, std::ostream* os) { *os << c.name; }

const std::string kShorter = Norm("0.0");
const std::string kUnterminated = "[Optionen]\r\nNormdaten=0";  // the patch gives it its line end

const StageCase kStages[] = {
    {"same_length_begun", kRead, WriteStage::kBegun, kRead},
    {"same_length_held", kRead, WriteStage::kHeld, kRead},
    {"same_length_written", kRead, WriteStage::kWrittenInPlace, kPatched},
    {"longer_held", kUnterminated, WriteStage::kHeld, kUnterminated},
    {"longer_recorded", kUnterminated, WriteStage::kRecorded, kUnterminated},
    {"longer_part_written", kUnterminated, WriteStage::kPartWritten, kUnterminated, 1},
    {"longer_written", kUnterminated, WriteStage::kWrittenInPlace, kPatched},
    {"shorter_held", kShorter, WriteStage::kHeld, kShorter},
    {"shorter_recorded", kShorter, WriteStage::kRecorded, kShorter},
    {"shorter_part_written", kShorter, WriteStage::kPartWritten, kShorter, 12},
    // Between the write and the cut to the new size, the old file's last bytes are there once
    // more: the record puts the file back as it was.
    {"shorter_written_not_yet_cut", kShorter, WriteStage::kWrittenInPlace, kShorter},
    {"shorter_cut", kShorter, WriteStage::kCut, kPatched},
    {"shorter_put_back_part_written", kShorter, WriteStage::kPutBackPartWritten, kShorter, 12, 10},
};

constexpr const char* kStageVariable = "VEMOR_DIE_AT_WRITE_STAGE";

class WriteStages : public ::testing::TestWithParam<StageCase> {};

TEST_P(WriteStages, LeaveTheFileWholeWhereverTheProcessEnds) {
    const StageCase& c = GetParam();
    TempTree tree;
    tree.File("s/sitzung.dat", c.before);
    const std::string order = std::to_string(static_cast<int>(c.stage)) + "|" + std::to_string(c.edit_cut) + "|" +
                              std::to_string(c.put_back_cut) + "|" + tree.Path("s/sitzung.dat");
    EXPECT_EQ(test::RunTestInChild("WriteStages.DISABLED_Child", kStageVariable, order), 137) << "the child died there";
    for (const platform::Recovery& recovery : platform::RecoverInterruptedWrites())
        EXPECT_NE(recovery.kind, platform::Recovery::Kind::kKept) << recovery.problem.text;
    EXPECT_EQ(tree.Read("s/sitzung.dat"), c.after);
    EXPECT_EQ(tree.Names("s"), (std::vector<std::string>{"sitzung.dat"}));
    EXPECT_TRUE(fs::is_empty(platform::test_hooks::record_folder)) << "no record is left";
}

INSTANTIATE_TEST_SUITE_P(Stages, WriteStages, ::testing::ValuesIn(kStages),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// The child: patches the file it is given and dies at the stage it is given.
TEST(WriteStages, DISABLED_Child) {
    std::istringstream order(test::ChildVariable(kStageVariable));
    std::string stage, edit_cut, put_back_cut, file;
    ASSERT_TRUE(std::getline(order, stage, '|') && std::getline(order, edit_cut, '|') &&
                std::getline(order, put_back_cut, '|') && std::getline(order, file))
        << "run by WriteStages only";
    const auto dying = static_cast<WriteStage>(std::stoi(stage));
    platform::test_hooks::write_stage = [dying](WriteStage reached) {
        if (reached == dying) test::DieNow();
    };
    const int cuts[] = {std::stoi(edit_cut), std::stoi(put_back_cut)};
    platform::test_hooks::cut_write = [cuts](platform::test_hooks::WriteCall call) -> std::optional<std::size_t> {
        const int cut = cuts[call == platform::test_hooks::WriteCall::kEdit ? 0 : 1];
        return cut < 0 ? std::nullopt : std::optional<std::size_t>(cut);
    };
    ProfileStep step(file);
    step.Read("Optionen", "Normdaten", "", 128);
    step.Write("Optionen", "Normdaten", "1");
}

// What a file may hold that a write of another length, or its put-back, left part-way: the
// record is applied to these and to no other.
TEST(RecordJudges, OnlyWhatTheWriteCanHaveLeft) {
    using platform::LeftState;
    // "0.0\r\nB=2\r\n" rewritten as "1\r\nB=2\r\n" from offset 10.
    const std::string before = "Normdaten=0.0\r\nB=2\r\n";
    const platform::RecoveryRecord record =
        platform::RecordOf("f", {1, 2}, before, 10, "1\r\nB=2\r\n");
    const struct {
        std::string file;
        LeftState state;
    } cases[] = {
        {before, LeftState::kOriginal},
        {"Normdaten=1\r\nB=2\r\n", LeftState::kIntended},
        {"Normdaten=1\r\nB=2\r\n\r\n", LeftState::kPartWay},  // written, not yet cut
        {"Normdaten=1.0\r\nB=2\r\n", LeftState::kPartWay},      // the first byte only
        {"Normdaten=0\r\nB=2\r\n", LeftState::kPartWay},        // cut, the first byte put back
        {"Normdaten=0.0\r\n2\r\n", LeftState::kPartWay},          // cut, then put back part-way
        {"Normdaten=1\r\nB=2\r\nB", LeftState::kOther},           // the old end, but a byte it never had
        {"Normdaten=1\r\nB=2\r", LeftState::kOther},              // shorter than either
        {"Normdaten=0.0\r\nB=2\r\nX", LeftState::kOther},        // longer than either
        {"Normdaten=5\r\nB=2\r\n", LeftState::kOther},           // a byte neither wrote
        {"normdaten=1\r\nB=2\r\n", LeftState::kOther},           // before the offset
        {"Normdaten", LeftState::kOther},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Judge(record, c.file), c.state) << c.file;
    // The record reads back as written, and nothing cut short of its end passes for one.
    const std::string text = platform::RecordText(record);
    const std::optional<platform::RecoveryRecord> read = platform::ParseRecord(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::tie(read->path, read->identity, read->offset, read->before_hash, read->original, read->intended),
              std::tie(record.path, record.identity, record.offset, record.before_hash, record.original, record.intended));
    for (const std::size_t cut : {std::size_t{0}, text.size() / 2, text.size() - 1})
        EXPECT_FALSE(platform::ParseRecord(text.substr(0, cut))) << cut;
}

}  // namespace
}  // namespace vemor
