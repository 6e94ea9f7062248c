#pragma once

#include <string>
#include <vector>

#include "modPatch72_01.h"

namespace vemor::test {

// Routes ShowError's boxes into a list, and gives a scan a fresh result list.
class ScanFixture {
public:
    ScanFixture() {
        SetErrorPresenter([this](const std::string& text, const std::string& caption) {
            boxes.push_back(caption + "|" + text);
        });
    }
    ~ScanFixture() { SetErrorPresenter(nullptr); }
    ScanFixture(const ScanFixture&) = delete;
    ScanFixture& operator=(const ScanFixture&) = delete;

    LineList list;
    std::vector<std::string> boxes;
};

}  // namespace vemor::test
