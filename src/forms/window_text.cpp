#include "window_text.h"

#include "utf16.h"

namespace vemor::forms {

void SetText(HWND window, const std::string& text) { SetWindowTextW(window, platform::Utf16(text).c_str()); }

std::string GetText(HWND window) { return platform::Utf8(WideText(window)); }

std::wstring WideText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::optional<std::wstring> ItemText(HWND control, UINT get_length, UINT get_text, int index) {
    const LRESULT length = SendMessageW(control, get_length, static_cast<WPARAM>(index), 0);
    if (length < 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(control, get_text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
    return text;
}

}  // namespace vemor::forms
