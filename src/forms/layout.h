#pragma once

#include <windows.h>

#include <string>

// Both windows are laid out in twips and scaled to the system DPI when they are created.
namespace vemor::forms {

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// One row of a window's control table; controls are created in tab order.
struct ControlSpec {
    int id;
    const wchar_t* window_class;
    const wchar_t* text;
    TwipsRect rect;
    DWORD style;
};

int SystemDpi();
int Scale(int twips, int dpi);
RECT ScaleRect(const TwipsRect& rect, int dpi);

// The outer size of a fixed-frame window with the given client area, centred on the screen.
RECT CentredWindowRect(int client_width, int client_height, DWORD style, DWORD ex_style);

HWND CreateControl(HWND parent, const ControlSpec& spec, int dpi);

// "MS Sans Serif" at a size given in hundredths of a point, as the system maps the name.
HFONT CreateSansSerif(int centipoints, bool bold, int dpi);
// The system's dialog font, for controls without a font of their own.
HFONT CreateDialogFont();
// The dialog font's face at a size given in hundredths of a point, regular weight: it has
// the characters of names that "MS Sans Serif" lacks.
HFONT CreateDialogFace(int centipoints, int dpi);

// Both forms: a fixed dialog frame, and Tab moves into their controls.
inline constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

inline constexpr COLORREF kWhite = RGB(255, 255, 255);

}  // namespace vemor::forms
