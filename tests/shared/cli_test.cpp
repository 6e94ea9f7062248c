#include <gtest/gtest.h>

#include <chrono>

#include "cli.h"
#include "console.h"
#include "escape_controls.h"
#include "scan_hook.h"
#include "support/fake_registry.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using test::ClientFile;
using test::kShortForm1;
using test::SessionFile;
using test::TempTree;

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& line : lines) out += line + std::string(platform::LineEnd());
    return out;
}

TEST(Cli, ExitStatusTellsTheOutcome) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    tree.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "0"));
    test::MakeReadOnly(tree.Fs("A/2/sitzung.dat"));
    if (!test::ReadOnlyBinds()) GTEST_SKIP() << test::kNeedsOrdinaryUser;
    // Without a folder the run takes the documents folder's client-data folder.
    TempTree documents;
    documents.File("Eigene Diagnostik/C/user.dat", ClientFile("C", "D"));
    documents.File("Eigene Diagnostik/C/3/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    test::FakeRegistry registry;
    registry.Set("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal",
                 {1, test::FakeRegistry::Text(documents.Root()), {}});

    // Names and labels with control characters, a backslash and a byte that is no UTF-8.
    TempTree odd;
    odd.File("labels/K/user.dat", ClientFile("K", "L"));
    odd.File("labels/K/1/sitzung.dat",
             test::Utf16LeWithBom(u"[TreeData]\r\nBezeichnung=a\tb\u0085c\\d\u001Be\r\n[Optionen]\r\n"
                                  u"Identifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n"));
    const std::string help = [] {
        CliOutput output;
        RunCli({"--help"}, output);
        return output.out;
    }();
    const std::string kExpected = "vemor-patch: expected 'preview [FOLDER]' or 'apply [FOLDER]'\n";
    const std::string none = Lines({"Keine Sitzung f\xC3\xBCr diesen Patch gefunden (0 von 0) "});

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;  // the whole report; for a usage error, its first line
    };
    std::vector<Case> cases = {
        {{"preview", tree.Root()},
         0, Lines({"A B", "  >> Eins    [Patch ausf\xC3\xBChren (0)]", "  >> Zwei    [Patch ausf\xC3\xBChren (0)]"}), ""},
        {{"apply", tree.Path("A")},
         1, Lines({"  >> Eins    [Patch erfolgreich ausgef\xC3\xBChrt]", "  >> Zwei    [Patch NICHT ausgef\xC3\xBChrt (0)]"}), ""},
        {{"--version"}, 0, "1.00.0004\n", ""},
        {{}, 2, "", kExpected},
        {{"preview"}, 0, Lines({"C D", "  >> Drei    [Patch ausf\xC3\xBChren (0)]"}), ""},
        {{"preview", ""}, 2, "", "vemor-patch: FOLDER is empty\n"},
        {{"patch", tree.Root()}, 2, "", kExpected},
        {{"preview", tree.Root(), "x"}, 2, "", kExpected},
        // A folder the scan cannot read still gets the scan's own line, and its own status.
        {{"preview", tree.Path("fehlt")}, 3, none, "vemor-patch: " + tree.Path("fehlt") + ": no such folder\n"},
        {{"apply", tree.Path("A/user.dat")}, 3, none, "vemor-patch: " + tree.Path("A/user.dat") + ": is not a folder\n"},
        // Options after the command word; "--" ends them.
        {{"preview", "--help"}, 0, help, ""},
        {{"apply", tree.Root(), "-h"}, 0, help, ""},
        {{"preview", "--version"}, 0, "1.00.0004\n", ""},
        {{"preview", "--", "--help"}, 3, none, "vemor-patch: --help: no such folder\n"},
        {{"preview", "--bogus"}, 2, "", "vemor-patch: unknown option '--bogus'\n"},
        // One result per line, control characters escaped.
        {{"preview", odd.Path("labels")},
         0, Lines({"K L", "  >> a\\x09b\\u0085c\\\\d\\x1Be    [Patch ausf\xC3\xBChren (0)]"}), ""},
    };
#ifndef _WIN32
    // Names Windows does not allow.
    odd.File("names/Anna\nBerta/user.dat", test::Crlf("[UserData]\nName=Z\n"));
    odd.File("names/Anna\nBerta/a\\b\xFF/sitzung.dat", test::Crlf("[Optionen]\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\nNormdaten=0\n"));
    cases.push_back({{"preview", odd.Path("names")},
                     0, Lines({"Anna\\x0ABerta Z", "  >> a\\\\b\\xFF    [Patch ausf\xC3\xBChren (0)]"}), ""});
    odd.Folder("closed/A");
    std::filesystem::permissions(odd.Fs("closed"), std::filesystem::perms::none);
    if (test::PermissionsBind())
        cases.push_back({{"preview", odd.Path("closed")}, 3, none,
                         "vemor-patch: " + odd.Path("closed") + ": cannot be read (Permission denied)\n"});
#endif
    for (const Case& c : cases) {
        CliOutput output;
        EXPECT_EQ(RunCli(c.args, output), c.status) << testing::PrintToString(c.args);
        EXPECT_EQ(output.out, c.out) << testing::PrintToString(c.args);
        // A usage error's report goes on with the usage.
        EXPECT_EQ(c.status == 2 ? output.err.substr(0, c.err.size()) : output.err, c.err)
            << testing::PrintToString(c.args);
    }
}

TEST(Cli, HelpNamesBothCommandsAndTheDefaultFolder) {
    CliOutput output;
    EXPECT_EQ(RunCli({"--help"}, output), 0);
    EXPECT_NE(output.out.find("vemor-patch preview [FOLDER]"), std::string::npos);
    EXPECT_NE(output.out.find("vemor-patch apply [FOLDER]"), std::string::npos);
    EXPECT_NE(output.out.find("Eigene Diagnostik"), std::string::npos);
}

TEST(Cli, EscapesWhatWouldBreakOrHideALine) {
    const std::pair<std::string, std::string> cases[] = {
        {"Anna \xC5\x81\xC3\xBC\xC4\xB1 \xF0\x9F\x98\x80 ~", "Anna \xC5\x81\xC3\xBC\xC4\xB1 \xF0\x9F\x98\x80 ~"},
        {std::string("a\0b\n\r\t\x1F\x7F", 8), "a\\x00b\\x0A\\x0D\\x09\\x1F\\x7F"},
        {"\xC2\x80\xC2\x85\xC2\x9F\xC2\xA0", "\\u0080\\u0085\\u009F\xC2\xA0"},
        // A backslash is doubled, so text that looks like an escape stays apart from one.
        {"a\\b\\x0A", "a\\\\b\\\\x0A"},
        // No UTF-8: a stray, a cut, an overlong and a surrogate sequence, byte by byte.
        {"\xFF.\xC3", "\\xFF.\\xC3"},
        {"\xC3(\xC0\xAF\xED\xA0\x80", "\\xC3(\\xC0\\xAF\\xED\\xA0\\x80"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(EscapeControls(text), escaped) << text;
}

// Time passes only as the scan meets entries, so the test sets how long the run takes.
TEST(Cli, ShowsProgressOnlyWhileALongRunGoesOn) {
    using namespace std::chrono_literals;
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    for (int i = 0; i < 30; ++i)
        tree.File("A/" + std::to_string(i) + "/sitzung.dat", SessionFile("S", kShortForm1, "1"));
    struct Case {
        std::chrono::milliseconds per_entry;  // 126 entries: ".", "..", files and folders
        std::size_t fewest, most;             // updates of the line
    };
    const Case cases[] = {{0ms, 0, 0}, {5ms, 0, 0}, {10ms, 1, 2}, {1000ms, 31, 31}};
    for (const Case& c : cases) {
        CliClock::time_point now{};
        ScanHookForTests = [&](const std::string&) { now += c.per_entry; };
        std::string shown;
        CliOutput output;
        const int status = RunCli({"preview", tree.Root()}, output,
                                  {[&] { return now; }, [&](std::string_view text) { shown += text; }});
        ScanHookForTests = nullptr;
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output.out, Lines({"Keine Sitzung f\xC3\xBCr diesen Patch gefunden (0 von 30) "}));

        // "\rUPDATE" for each update, then blanks over the longest and a return.
        std::vector<std::string> parts;
        for (std::size_t start = 0, end; start <= shown.size(); start = end + 1) {
            end = std::min(shown.find('\r', start), shown.size());
            parts.push_back(shown.substr(start, end - start));
        }
        const std::size_t updates = shown.empty() ? 0 : parts.size() - 3;
        EXPECT_GE(updates, c.fewest) << shown;
        EXPECT_LE(updates, c.most) << shown;
        if (updates == 0) continue;
        EXPECT_EQ(parts.front(), "");
        for (std::size_t i = 1; i <= updates; ++i) EXPECT_EQ(parts[i].rfind("examined ", 0), 0u) << parts[i];
        EXPECT_EQ(parts[updates + 1], std::string(parts[updates].size(), ' '));
        EXPECT_EQ(parts.back(), "");
        if (c.per_entry >= 1s) {
            EXPECT_EQ(parts[updates], "examined 31 folders, 30 sessions");
        }
    }
}

}  // namespace
}  // namespace vemor
