#include <gtest/gtest.h>

#include "support/capture.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using test::Crlf;
using test::TempTree;

TEST(ReadIniValue, ReadsOnlyFilesNamedLikeProfiles) {
    TempTree tree;
    const std::string content = Crlf("[S]\nK=wert\n");
    const std::pair<const char*, ProfileValue> cases[] = {
        {"Anna/sitzung.dat", "wert"},
        {"Anna/SITZUNG.DAT", "wert"},
        {"Anna/User.Dat", "wert"},
        {"settings.ini", "wert"},
        {"x/list.dat.bak", "wert"},
        {"my.data/notes.txt", "wert"},
        {"readme.txt", std::nullopt},
    };
    for (const auto& [name, want] : cases) {
        test::ScanFixture fixture;
        tree.File(name, content);
        EXPECT_EQ(ReadIniValue(tree.Path(name), "S", "K", "d"), want) << name;
        EXPECT_TRUE(fixture.boxes.empty());
    }
}

TEST(ReadIniValue, UsesTheLargeBufferFrom127Characters) {
    TempTree tree;
    for (const std::size_t length : {0u, 1u, 126u, 127u, 128u, 31999u, 32000u, 40000u}) {
        tree.File("s.dat", Crlf("[S]\nK=" + std::string(length, 'x') + "\n"));
        EXPECT_EQ(ReadIniValue(tree.Path("s.dat"), "S", "K", "d"), std::string(std::min<std::size_t>(length, 31999), 'x'))
            << length;
    }
}

TEST(ReadIniValue, MissingKeyGivesTheDefaultAsText) {
    TempTree tree;
    tree.File("s.dat", Crlf("[S]\nA=1\n"));
    EXPECT_EQ(ReadIniValue(tree.Path("s.dat"), "S", "K", "0"), "0");
    EXPECT_EQ(ReadIniValue(tree.Path("s.dat"), "S", "K", ""), "");
    EXPECT_EQ(ReadIniValue(tree.Path("fehlt.dat"), "S", "K", "Anna"), "Anna");
}

TEST(WriteIniValue, IsSilentWhenTheFileRefusesTheWrite) {
    test::ScanFixture fixture;
    TempTree tree;
    tree.File("s.dat", Crlf("[Optionen]\nNormdaten=0\n"));
    WriteIniValue(tree.Path("s.dat"), "Optionen", "Normdaten", "1");
    EXPECT_EQ(ReadIniValue(tree.Path("s.dat"), "Optionen", "Normdaten", ""), "1");

    tree.File("ro.dat", Crlf("[Optionen]\nNormdaten=0\n"));
    test::MakeReadOnly(tree.Fs("ro.dat"));
    WriteIniValue(tree.Path("ro.dat"), "Optionen", "Normdaten", "1");
    EXPECT_EQ(ReadIniValue(tree.Path("ro.dat"), "Optionen", "Normdaten", ""), "0");
    EXPECT_EQ(tree.Read("ro.dat"), Crlf("[Optionen]\nNormdaten=0\n"));
    EXPECT_TRUE(fixture.boxes.empty());
}

}  // namespace
}  // namespace vemor
