#include "list_box_lines.h"

#include <algorithm>

#include "failures.h"
#include "list_line.h"
#include "utf16.h"
#include "window_text.h"

namespace vemor::forms {
namespace {

WPARAM Index(std::size_t index) { return static_cast<WPARAM>(index); }

int Widest(const std::vector<int>& widths) { return widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end()); }

}  // namespace

void ListBoxLines::Attach(HWND list_box, HFONT font, HFONT fallback) {
    list_box_ = list_box;
    font_ = font;
    fallback_ = fallback;
    measure_ = Own<OwnedDc>(CreateCompatibleDC(nullptr));
}

std::size_t ListBoxLines::Count() const {
    const LRESULT count = SendMessageW(list_box_, LB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : static_cast<std::size_t>(count);
}

std::string ListBoxLines::Line(std::size_t index) const {
    const auto text = ItemText(list_box_, LB_GETTEXTLEN, LB_GETTEXT, static_cast<int>(index));
    if (!text) throw IndexOutOfRange();
    return platform::Utf8(*text);
}

void ListBoxLines::Remove(std::size_t index) {
    if (SendMessageW(list_box_, LB_DELETESTRING, Index(index), 0) == LB_ERR) throw IndexOutOfRange();
    if (index >= widths_.size()) return;
    const int width = widths_[index];
    widths_.erase(widths_.begin() + static_cast<std::ptrdiff_t>(index));
    if (width == widest_) SetWidest(Widest(widths_));
}

void ListBoxLines::Clear() {
    SendMessageW(list_box_, LB_RESETCONTENT, 0, 0);
    widths_.clear();
    SetWidest(0);
}

void ListBoxLines::Append(const std::string& line) {
    const std::wstring text = platform::Utf16(line);
    widths_.reserve(widths_.size() + 1);
    const LRESULT added = SendMessageW(list_box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) throw OutOfMemory();
    // Lines that others removed from the list box meanwhile no longer count.
    const auto at = static_cast<std::size_t>(added);
    if (widths_.size() > at) {
        widths_.resize(at);
        SetWidest(Widest(widths_));
    }
    widths_.resize(at, 0);
    widths_.push_back(measure_ ? ListLineWidth(measure_.get(), text, font_, fallback_) : 0);
    if (widths_.back() > widest_) SetWidest(widths_.back());
}

// While every line fits, the list box shows no horizontal scroll bar, as it always did.
void ListBoxLines::SetWidest(int width) {
    widest_ = width;
    SendMessageW(list_box_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_), 0);
}

}  // namespace vemor::forms
