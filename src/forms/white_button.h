#pragma once

#include <windows.h>

// The push buttons of both windows: owner-drawn with a white face in the style of a
// graphical button, with text or a picture.
namespace vemor::forms {

inline constexpr DWORD kWhiteButtonStyle = BS_OWNERDRAW | WS_TABSTOP;

// A fast second click is one more click, as on any push button; owner-drawn buttons would
// report it as a double-click instead.
void KeepDoubleClicksAsClicks(HWND button);

// Draws the button of a WM_DRAWITEM; picture (may be null) is drawn in place of the text,
// with magenta as the colour that lets the face show through.
void DrawWhiteButton(const DRAWITEMSTRUCT& item, HBITMAP picture);

// A tooltip for control, shown also while its window is inactive.
HWND AddTooltip(HWND window, HWND control, const wchar_t* text);

}  // namespace vemor::forms
