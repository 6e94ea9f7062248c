#include <gtest/gtest.h>

#include "files.h"
#include "modSpezial.h"
#include "state.h"
#include "support/capture.h"
#include "support/result_text.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using test::ClientFile;
using test::kShortForm1;
using test::SessionFile;
using test::TempTree;

// The shared values as the window prepares them for a run, on list.
void PrepareRun(ResultList& list, const std::string& folder) {
    lstPatchSitzung = &list;
    SessionCount = 0;
    ApplyPatch = 0;
    CancelScan = 0;
    PatchPath = folder;
}

TEST(RefreshSessionList, QuotesTheSessionCountWhenNothingIsPatchable) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    for (int i = 0; i < 12; ++i)
        tree.File("A/S" + std::to_string(i) + "/sitzung.dat", SessionFile("S", kShortForm1, "1"));
    test::ScanFixture fixture;
    PrepareRun(fixture.list, tree.Path("A"));
    RefreshSessionList();
    EXPECT_EQ(PatchPath, tree.Path("A") + platform::kSeparator) << "the root, as walked";
    EXPECT_EQ(fixture.list.lines(),
              std::vector<std::string>{test::NoSession(12)});
}

// A list box that refuses to give up its lines, as a broken window would.
class StuckList final : public ResultList {
public:
    std::size_t Count() const override { return lines.size(); }
    std::string Line(std::size_t index) const override { return lines.at(index); }
    void Remove(std::size_t) override { throw Failure(5, "Liste gesperrt"); }
    void Clear() override { throw Failure(5, "Liste gesperrt"); }
    void Append(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

TEST(RefreshSessionList, ShowsAFailingListOperationAndLeavesTheList) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    test::ScanFixture fixture;
    StuckList stuck;
    PrepareRun(stuck, tree.Root());
    RefreshSessionList();
    EXPECT_EQ(stuck.lines, std::vector<std::string>{"A B"});
    EXPECT_EQ(fixture.boxes, std::vector<std::string>{"frmpatch_72_01|Liste gesperrt (5) Vemor_Patch_72_01"});
}

}  // namespace
}  // namespace vemor
