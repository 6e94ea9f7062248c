// The POSIX backend keeps recently read profile files and folder listings. Whatever happens
// to a file between two reads, the second read must see it; and a write goes only into the
// version that was read.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "files.h"
#include "posix/stamp.h"
#include "profile.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

std::string Norm(const std::string& value) { return "[Optionen]\r\nNormdaten=" + value + "\r\n"; }

std::string ReadNorm(const TempTree& tree, const char* file = "s/sitzung.dat") {
    return platform::ReadProfileText(tree.Path(file), "Optionen", "Normdaten", "fehlt", 128).text;
}

// The same time for every file set with it, long past.
void SetModified(const TempTree& tree, const char* file) {
    fs::last_write_time(tree.Fs(file), fs::file_time_type(std::chrono::hours(24 * 365 * 30)));
}

// Every copy counts as settled here, so that only the stamp can tell a change.
class CachedReads : public ::testing::Test {
protected:
    CachedReads() { platform::posix::SetSettleTimeForTests(0); }
    ~CachedReads() override { platform::posix::SetSettleTimeForTests(std::nullopt); }
};

struct ChangeCase {
    const char* name;
    std::function<void(const TempTree&)> change;
    const char* expected;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

const ChangeCase kChanges[] = {
    {"other_size", [](const TempTree& t) { t.File("s/sitzung.dat", Norm("10")); }, "10"},
    {"same_size_other_time",
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

class CachedReadsSeeChanges : public CachedReads, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(CachedReadsSeeChanges, OfTheFileSinceTheLastRead) {
    TempTree tree;
    tree.File("s/sitzung.dat", Norm("0"));
    SetModified(tree, "s/sitzung.dat");
    ASSERT_EQ(ReadNorm(tree), "0");
    ASSERT_EQ(ReadNorm(tree), "0");
    GetParam().change(tree);
    EXPECT_EQ(ReadNorm(tree), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Changes, CachedReadsSeeChanges, ::testing::ValuesIn(kChanges),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(CachedReads, OtherSpellingIsFoundAndFollowedWhenRenamed) {
    TempTree tree;
    tree.File("s/Sitzung.dat", Norm("0"));
    EXPECT_EQ(ReadNorm(tree), "0");
    fs::rename(tree.Fs("s/Sitzung.dat"), tree.Fs("s/SITZUNG.DAT"));
    tree.File("s/SITZUNG.DAT", Norm("12"));
    EXPECT_EQ(ReadNorm(tree), "12");
    fs::rename(tree.Fs("s/SITZUNG.DAT"), tree.Fs("s/anders.dat"));
    EXPECT_EQ(ReadNorm(tree), "fehlt");
}

// Time stamps are rounded: a change right after a read may leave size and time as they
// were. A file changed that recently is never taken from the kept copy.
TEST(CachedReadsUnsettled, SeeAChangeWithinTheSameTimeStamp) {
    TempTree tree;
    for (int round = 0; round < 20; ++round) {
        const std::string value = std::to_string(round % 10);
        tree.File("s/sitzung.dat", Norm(value));
        ASSERT_EQ(ReadNorm(tree), value) << round;
    }
}

TEST(CachedListings, SeeEntriesAddedAndRenamedRightAfterAListing) {
    TempTree tree;
    tree.File("s/a.txt", "x");
    const std::string folder = tree.Path("s") + platform::kSeparator;
    const auto names = [&] {
        std::vector<std::string> out;
        const auto entries = platform::ListFolder(folder, "*.*");
        if (entries)
            for (const auto& entry : *entries) out.push_back(entry.name);
        return out;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{".", "..", "a.txt"}));
    tree.File("s/user.dat", "x");
    EXPECT_EQ(platform::FindPlainFile(folder + "USER.DAT"), "user.dat");
    fs::rename(tree.Fs("s/a.txt"), tree.Fs("s/b.txt"));
    EXPECT_EQ(names(), (std::vector<std::string>{".", "..", "b.txt", "user.dat"}));
    fs::rename(tree.Fs("s/user.dat"), tree.Fs("s/User.Dat"));
    EXPECT_EQ(platform::FindPlainFile(folder + "user.dat"), "User.Dat");
}

// A write goes into the version of the file read last, or nowhere.
struct GuardCase {
    const char* name;
    std::function<void(const TempTree&)> change;
    bool written;
    const char* after;  // nullptr: the file must not exist
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

const std::string kRead = Norm("0");
const std::string kPatched = Norm("1");
const std::string kOther = Norm("0") + "X=1\r\n";

const GuardCase kGuards[] = {
    {"unchanged", [](const TempTree&) {}, true, kPatched.c_str()},
    {"removed", [](const TempTree& t) { fs::remove(t.Fs("s/sitzung.dat")); }, false, nullptr},
    {"changed_by_someone_else", [](const TempTree& t) { t.File("s/sitzung.dat", kOther); }, false, kOther.c_str()},
    {"replaced_by_a_folder",
     [](const TempTree& t) {
         fs::remove(t.Fs("s/sitzung.dat"));
         t.Folder("s/sitzung.dat");
     },
     false, nullptr},
};

class GuardedWrite : public ::testing::TestWithParam<GuardCase> {};

TEST_P(GuardedWrite, GoesOnlyIntoTheVersionRead) {
    TempTree tree;
    tree.File("s/sitzung.dat", kRead);
    ASSERT_EQ(ReadNorm(tree), "0");
    GetParam().change(tree);
    EXPECT_EQ(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "1"),
              GetParam().written);
    if (GetParam().after) EXPECT_EQ(tree.Read("s/sitzung.dat"), GetParam().after);
    else EXPECT_FALSE(fs::is_regular_file(tree.Fs("s/sitzung.dat")));
}

INSTANTIATE_TEST_SUITE_P(Changes, GuardedWrite, ::testing::ValuesIn(kGuards),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(GuardedWriteAgain, AfterOurOwnWriteTheNextWriteIsAllowed) {
    TempTree tree;
    tree.File("s/sitzung.dat", kRead);
    ASSERT_EQ(ReadNorm(tree), "0");
    EXPECT_TRUE(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "1"));
    EXPECT_TRUE(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "2"));
    EXPECT_EQ(ReadNorm(tree), "2");
}

}  // namespace
}  // namespace vemor
