#include <gtest/gtest.h>

#include "cli.h"
#include "console.h"
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

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {{"preview", tree.Root()},
         0, Lines({"A B", "  >> Eins    [Patch ausf\xC3\xBChren (0)]", "  >> Zwei    [Patch ausf\xC3\xBChren (0)]"})},
        {{"apply", tree.Path("A")},
         1, Lines({"  >> Eins    [Patch erfolgreich ausgef\xC3\xBChrt]", "  >> Zwei    [Patch NICHT ausgef\xC3\xBChrt (0)]"})},
        {{"preview", tree.Path("fehlt")}, 0, Lines({"Keine Sitzung f\xC3\xBCr diesen Patch gefunden (0 von 0) "})},
        {{"--version"}, 0, "1.00.0004\n"},
        {{}, 2, ""},
        {{"preview"}, 0, Lines({"C D", "  >> Drei    [Patch ausf\xC3\xBChren (0)]"})},
        {{"preview", ""}, 2, ""},
        {{"patch", tree.Root()}, 2, ""},
        {{"preview", tree.Root(), "x"}, 2, ""},
    };
    for (const Case& c : cases) {
        CliOutput output;
        EXPECT_EQ(RunCli(c.args, output), c.status) << testing::PrintToString(c.args);
        EXPECT_EQ(output.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(output.err.empty(), c.status != 2) << output.err;
    }
}

TEST(Cli, HelpNamesBothCommandsAndTheDefaultFolder) {
    CliOutput output;
    EXPECT_EQ(RunCli({"--help"}, output), 0);
    EXPECT_NE(output.out.find("vemor-patch preview [FOLDER]"), std::string::npos);
    EXPECT_NE(output.out.find("vemor-patch apply [FOLDER]"), std::string::npos);
    EXPECT_NE(output.out.find("Eigene Diagnostik"), std::string::npos);
}

}  // namespace
}  // namespace vemor
