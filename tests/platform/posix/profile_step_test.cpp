// The POSIX backend reads each profile file once per step under the name it is stored by, and
// opens nothing more than that.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "modSpezial.h"
#include "profile.h"
#include "support/capture.h"
#include "support/temp_tree.h"
#include "test_hooks.h"

namespace vemor {
namespace {

using platform::ProfileStep;
using test::TempTree;
using Lines = std::vector<std::string>;

std::string Norm(const std::string& value) { return "[Optionen]\r\nNormdaten=" + value + "\r\n"; }

std::string ReadNorm(ProfileStep& step) { return step.Read("Optionen", "Normdaten", "fehlt", 128).text; }

// Data copied from Windows may hold the file in another spelling; once the exact one appears,
// the next step reads that.
TEST(ProfileSteps, ReadTheExactSpellingOnceItAppears) {
    TempTree tree;
    tree.File("s/SITZUNG.DAT", Norm("0"));
    {
        ProfileStep step(tree.Path("s/sitzung.dat"));
        ASSERT_EQ(ReadNorm(step), "0");
        tree.File("s/sitzung.dat", Norm("7"));
        EXPECT_EQ(ReadNorm(step), "0") << "one step reads one version";
    }
    ProfileStep next(tree.Path("s/sitzung.dat"));
    EXPECT_EQ(ReadNorm(next), "7");
}

// The whole scan, counted at the seam where files and folders are opened.
class CountedScan : public ::testing::Test {
protected:
    Lines Run(bool apply) {
        test::ScanFixture fixture;
        const std::atomic<std::int16_t> cancel = 0;
        std::int32_t sessions = 0;
        RunScan({tree.Root(), apply, fixture.list, cancel, sessions});
        return fixture.list.lines();
    }
    void Build() {
        tree.File("A/user.dat", test::ClientFile("A", "B"));
        tree.File("A/1/sitzung.dat", test::SessionFile("Eins", test::kShortForm1, "0"));
        tree.File("A/2/SITZUNG.DAT", test::SessionFile("Zwei", test::kShortForm2, "0"));
        tree.File("A/3/Sitzung.dat", test::SessionFile("Drei", test::kShortForm3, "0"));
    }
    TempTree tree;
};

TEST_F(CountedScan, OpensEveryFileUnderTheNameItIsStoredBy) {
    Build();
    platform::test_hooks::OpenCounts& opens = platform::test_hooks::opens;
    for (const bool apply : {false, true}) {
        const long made = opens.made;
        const long missing = opens.missing;
        EXPECT_EQ(Run(apply).size(), 4u) << apply;
        EXPECT_EQ(opens.missing - missing, 0) << "a name was tried that the folder does not hold";
        // The records' folder, the root asked for its volume, the root and four folders listed,
        // one client file and three session files read; a patch adds, per session, the file opened again for writing and
        // once more by its name for the read-back.
        EXPECT_EQ(opens.made - made, apply ? 11 + 2 * 3 : 11) << apply;
    }
}

}  // namespace
}  // namespace vemor
