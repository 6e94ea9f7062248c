#pragma once

#include <windows.h>

#include <vector>

#include "gdi.h"
#include "result_list.h"

namespace vemor::forms {

// The result list as a list box: the scan writes its lines straight into the window. A line
// wider than the list box can be scrolled to, as far as the widest line reaches.
class ListBoxLines final : public ResultList {
public:
    // The list box and the fonts DrawListLine draws its lines in.
    void Attach(HWND list_box, HFONT font, HFONT fallback);
    std::size_t Count() const override;
    std::string Line(std::size_t index) const override;
    void Remove(std::size_t index) override;
    void Clear() override;
    void Append(const std::string& line) override;

private:
    void SetWidest(int width);

    HWND list_box_ = nullptr;
    HFONT font_ = nullptr;
    HFONT fallback_ = nullptr;
    OwnedDc measure_;
    std::vector<int> widths_;  // of the lines, in their order
    int widest_ = 0;
};

}  // namespace vemor::forms
