#include "list_box_lines.h"

#include "failure.h"
#include "win32/wide.h"

namespace vemor::forms {
namespace {

WPARAM Index(std::size_t index) { return static_cast<WPARAM>(index); }

}  // namespace

std::size_t ListBoxLines::Count() const {
    const LRESULT count = SendMessageW(list_box_, LB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : static_cast<std::size_t>(count);
}

std::string ListBoxLines::Line(std::size_t index) const {
    const LRESULT length = SendMessageW(list_box_, LB_GETTEXTLEN, Index(index), 0);
    if (length == LB_ERR) throw Failure(failure_number::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list_box_, LB_GETTEXT, Index(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
    return platform::win32::Narrow(text);
}

void ListBoxLines::Remove(std::size_t index) {
    if (SendMessageW(list_box_, LB_DELETESTRING, Index(index), 0) == LB_ERR)
        throw Failure(failure_number::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
}

void ListBoxLines::Clear() { SendMessageW(list_box_, LB_RESETCONTENT, 0, 0); }

void ListBoxLines::Append(const std::string& line) {
    const std::wstring text = platform::win32::Wide(line);
    const LRESULT added = SendMessageW(list_box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) throw Failure(failure_number::kOutOfMemory, "Nicht genügend Speicher");
}

}  // namespace vemor::forms
