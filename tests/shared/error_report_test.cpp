#include <gtest/gtest.h>

#include "support/capture.h"

namespace vemor {
namespace {

TEST(ShowError, BuildsTheReportTextAndShowsItOnlyWhenAsked) {
    struct Case {
        Failure failure;
        std::int16_t show;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {Failure(53, "Datei nicht gefunden"), kShow, {"frmpatch_72_01|Datei nicht gefunden (53) Vemor_Patch_72_01"}},
        {Failure(0, "", ""), kShow, {"frmpatch_72_01| (0) "}},
        {Failure(-5, "D"), kShow, {"frmpatch_72_01|D (-5) Vemor_Patch_72_01"}},
        {Failure(32767, "D"), kShow, {"frmpatch_72_01|D (32767) Vemor_Patch_72_01"}},
        {Failure(7, "Zeile 1\r\nZeile 2", "X"), kShow, {"frmpatch_72_01|Zeile 1\r\nZeile 2 (7) X"}},
        {Failure(70000, "D"), kShow, {"frmpatch_72_01|D (70000) Vemor_Patch_72_01"}},
        {Failure(53, "D"), kSilent, {}},
    };
    for (const Case& c : cases) {
        test::ScanFixture fixture;
        ShowError(c.failure, c.show);
        EXPECT_EQ(fixture.boxes, c.boxes) << c.failure.description();
    }
}

TEST(ShowError, ReportsItsOwnFailureAsGlobalError) {
    test::ScanFixture fixture;
    int calls = 0;
    SetErrorPresenter([&](const std::string& text, const std::string&) {
        if (calls++ == 0) throw Failure(5, "Box kaputt");
        fixture.boxes.push_back(text);
    });
    ShowError(Failure(53, "D"), kShow);
    EXPECT_EQ(fixture.boxes, std::vector<std::string>{"Global Error: 5 - Box kaputt"});
}

}  // namespace
}  // namespace vemor
