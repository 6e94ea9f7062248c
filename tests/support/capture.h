#pragma once

#include <string>
#include <vector>

#include "modPatch72_01.h"
#include "state.h"

namespace vemor::test {

// Routes ShowError's boxes into a list and gives the scan a fresh result list and state.
class ScanFixture {
public:
    ScanFixture() {
        lstPatchSitzung = &list;
        SessionCount = 0;
        ApplyPatch = 0;
        CancelScan = 0;
        PatchPath.clear();
        CurrentScanObservers = {};
        SetErrorPresenter([this](const std::string& text, const std::string& caption) {
            boxes.push_back(caption + "|" + text);
        });
    }
    ~ScanFixture() {
        SetErrorPresenter(nullptr);
        CurrentScanObservers = {};
        lstPatchSitzung = nullptr;
    }
    ScanFixture(const ScanFixture&) = delete;
    ScanFixture& operator=(const ScanFixture&) = delete;

    LineList list;
    std::vector<std::string> boxes;
};

}  // namespace vemor::test
