#include "list_box_lines.h"

#include "failures.h"
#include "utf16.h"
#include "window_text.h"

namespace vemor::forms {
namespace {

WPARAM Index(std::size_t index) { return static_cast<WPARAM>(index); }

}  // namespace

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
}

void ListBoxLines::Clear() { SendMessageW(list_box_, LB_RESETCONTENT, 0, 0); }

void ListBoxLines::Append(const std::string& line) {
    const std::wstring text = platform::Utf16(line);
    const LRESULT added = SendMessageW(list_box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) throw OutOfMemory();
}

}  // namespace vemor::forms
