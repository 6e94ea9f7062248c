#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The texts of windows and their items as the program holds text, in UTF-8.
namespace vemor::forms {

void SetText(HWND window, const std::string& text);
std::string GetText(HWND window);
// The same text as the window keeps it, for drawing it.
std::wstring WideText(HWND window);

// The text of item index of a list box or combo box, asked with its own pair of messages
// (LB_GETTEXTLEN and LB_GETTEXT, CB_GETLBTEXTLEN and CB_GETLBTEXT); nothing when there is no
// such item.
std::optional<std::wstring> ItemText(HWND control, UINT get_length, UINT get_text, int index);

}  // namespace vemor::forms
