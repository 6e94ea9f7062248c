#pragma once

#include <windows.h>

#include "result_list.h"

namespace vemor::forms {

// The result list as a list box: the scan writes its lines straight into the window.
class ListBoxLines final : public ResultList {
public:
    void Attach(HWND list_box) { list_box_ = list_box; }
    std::size_t Count() const override;
    std::string Line(std::size_t index) const override;
    void Remove(std::size_t index) override;
    void Clear() override;
    void Append(const std::string& line) override;

private:
    HWND list_box_ = nullptr;
};

}  // namespace vemor::forms
