// The POSIX backend reads each profile file once per step and keeps nothing between steps.
// Whatever happens to a file between two steps, the later one sees it; within a step every
// value comes from one version; and a write goes only into the version that was read.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "modSpezial.h"
#include "posix/descriptor.h"
#include "posix/replace_file.h"
#include "posix/stamp.h"
#include "profile.h"
#include "state.h"
#include "support/capture.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using platform::ProfileStep;
using test::TempTree;
using Lines = std::vector<std::string>;

std::string Norm(const std::string& value) { return "[Optionen]\r\nNormdaten=" + value + "\r\n"; }

std::string ReadNorm(const TempTree& tree, const char* file = "s/sitzung.dat") {
    return platform::ReadProfileText(tree.Path(file), "Optionen", "Normdaten", "fehlt", 128).text;
}

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
    {"replaced_by_rename_with_same_size_and_time",
     [](const TempTree& t) {
         t.File("s/neu.dat", Norm("1"));
         SetModified(t, "s/neu.dat");
         fs::rename(t.Fs("s/neu.dat"), t.Fs("s/sitzung.dat"));
     },
     "1"},
    {"removed", [](const TempTree& t) { fs::remove(t.Fs("s/sitzung.dat")); }, "fehlt"},
    {"exact_spelling_appears_beside_another",
     [](const TempTree& t) {
         fs::rename(t.Fs("s/sitzung.dat"), t.Fs("s/SITZUNG.DAT"));
         t.File("s/sitzung.dat", Norm("7"));
     },
     "7"},
};

class ProfileSteps : public ::testing::TestWithParam<ChangeCase> {};

// Inside a step the first version holds; the next step sees the change.
TEST_P(ProfileSteps, SeeEveryChangeMadeBeforeThemAndNoneWithin) {
    TempTree tree;
    tree.File("s/sitzung.dat", Norm("0"));
    SetModified(tree, "s/sitzung.dat");
    {
        const ProfileStep step(tree.Path("s/sitzung.dat"), ProfileStep::Use::kRead);
        ASSERT_EQ(ReadNorm(tree), "0");
        GetParam().change(tree);
        EXPECT_EQ(ReadNorm(tree), "0") << "one step reads one version";
    }
    const ProfileStep next(tree.Path("s/sitzung.dat"), ProfileStep::Use::kRead);
    EXPECT_EQ(ReadNorm(tree), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Changes, ProfileSteps, ::testing::ValuesIn(kChanges),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A write goes into the version of the file the step read, or nowhere; the value read back
// in the same step afterwards is what the file holds then.
struct GuardCase {
    const char* name;
    std::function<void(const TempTree&)> change;
    bool written;
    const char* after;      // nullptr: the file must not exist
    const char* read_back;
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

const std::string kRead = Norm("0");
const std::string kPatched = Norm("1");
const std::string kOther = Norm("0") + "X=1\r\n";
const std::string kSameSize = Norm("5");

const GuardCase kGuards[] = {
    {"unchanged", [](const TempTree&) {}, true, kPatched.c_str(), "1"},
    {"removed", [](const TempTree& t) { fs::remove(t.Fs("s/sitzung.dat")); }, false, nullptr, "fehlt"},
    {"changed_by_someone_else", [](const TempTree& t) { t.File("s/sitzung.dat", kOther); }, false,
     kOther.c_str(), "0"},
    {"changed_keeping_size_and_time",
     [](const TempTree& t) {
         t.File("s/sitzung.dat", kSameSize);
         SetModified(t, "s/sitzung.dat");
     },
     false, kSameSize.c_str(), "5"},
    {"replaced_by_a_folder",
     [](const TempTree& t) {
         fs::remove(t.Fs("s/sitzung.dat"));
         t.Folder("s/sitzung.dat");
     },
     false, nullptr, "fehlt"},
};

class GuardedWrite : public ::testing::TestWithParam<GuardCase> {};

TEST_P(GuardedWrite, GoesOnlyIntoTheVersionRead) {
    const GuardCase& c = GetParam();
    // Read just after it was written, and read long after: the second trusts the stamp.
    for (const bool settled : {false, true}) {
        TempTree tree;
        tree.File("s/sitzung.dat", kRead);
        if (settled) SetModified(tree, "s/sitzung.dat");
        const ProfileStep step(tree.Path("s/sitzung.dat"), ProfileStep::Use::kReadAndWrite);
        ASSERT_EQ(ReadNorm(tree), "0");
        c.change(tree);
        EXPECT_EQ(static_cast<bool>(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "1")),
                  c.written)
            << settled;
        if (c.after) EXPECT_EQ(tree.Read("s/sitzung.dat"), c.after) << settled;
        else EXPECT_FALSE(fs::is_regular_file(tree.Fs("s/sitzung.dat"))) << settled;
        EXPECT_EQ(ReadNorm(tree), c.read_back) << settled;
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, GuardedWrite, ::testing::ValuesIn(kGuards),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Time stamps are rounded: a change made within the rounding of the read leaves the stamp as
// it was, and only the bytes tell.
TEST(GuardedReplace, ComparesTheBytesOfAFileChangedJustBeforeItWasRead) {
    TempTree tree;
    tree.File("s/sitzung.dat", kSameSize);
    struct stat info {};
    ASSERT_EQ(stat(tree.Path("s/sitzung.dat").c_str(), &info), 0);
    const platform::posix::Stamp now = platform::posix::StampOf(info);
    const platform::posix::ByteEdit edit{0, 0, ";\r\n"};
    for (const auto& [bytes, written] : {std::pair{kRead, false}, std::pair{kSameSize, true}}) {
        const platform::posix::ReadVersion read{true, bytes, now, platform::posix::Now()};
        EXPECT_EQ(platform::posix::ReplaceFile(tree.Path("s/sitzung.dat"), read, edit), written) << bytes;
    }
    EXPECT_EQ(tree.Read("s/sitzung.dat"), ";\r\n" + kSameSize);
}

// The whole scan, counted at the seam where files and folders are opened.
class CountedScan : public ::testing::Test {
protected:
    // The tree counts as written long ago, as a practice's files are, so no write compares bytes.
    CountedScan() { platform::posix::SetSettleTimeForTests(0); }
    ~CountedScan() override { platform::posix::SetSettleTimeForTests(std::nullopt); }

    Lines Run(bool apply) {
        test::ScanFixture fixture;
        PatchPath = tree.Root();
        ApplyPatch = apply ? -1 : 0;
        RefreshSessionList();
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
    platform::posix::OpenCounts& opens = platform::posix::OpensForTests();
    for (const bool apply : {false, true}) {
        const long made = opens.made;
        const long missing = opens.missing;
        EXPECT_EQ(Run(apply).size(), 4u) << apply;
        EXPECT_EQ(opens.missing - missing, 0) << "a name was tried that the folder does not hold";
        // The root and four folders listed, one client file and three session files read; a
        // patch adds, per session, the flush of its folder and the read-back.
        EXPECT_EQ(opens.made - made, apply ? 9 + 3 * 2 : 9) << apply;
    }
}

TEST_F(CountedScan, AWriteThatIsLostIsReportedAsNotCarriedOut) {
    Build();
    platform::posix::LoseWritesForTests(true);
    const Lines lines = Run(true);
    platform::posix::LoseWritesForTests(false);
    EXPECT_EQ(lines, (Lines{"A B", "  >> Eins    [Patch NICHT ausgef\xC3\xBChrt (0)]",
                                  "  >> Zwei    [Patch NICHT ausgef\xC3\xBChrt (0)]",
                                  "  >> Drei    [Patch NICHT ausgef\xC3\xBChrt (0)]"}));
}

}  // namespace
}  // namespace vemor
