#include "white_button.h"

#include <commctrl.h>

#include <string>

#include "gdi.h"
#include "layout.h"
#include "window_text.h"
#include "pictures.h"

namespace vemor::forms {
namespace {

LRESULT CALLBACK DoubleClickAsClick(HWND button, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR, DWORD_PTR) {
    if (message == WM_LBUTTONDBLCLK) message = WM_LBUTTONDOWN;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(button, DoubleClickAsClick, 0);
    return DefSubclassProc(button, message, wparam, lparam);
}

void DrawPicture(HDC dc, HBITMAP picture, const RECT& area) {
    BITMAP info{};
    GetObjectW(picture, sizeof(info), &info);
    const auto source = Own<OwnedDc>(CreateCompatibleDC(dc));
    if (!source) return;
    const HGDIOBJ old = SelectObject(source.get(), picture);
    const int left = area.left + (area.right - area.left - info.bmWidth) / 2;
    const int top = area.top + (area.bottom - area.top - info.bmHeight) / 2;
    // GDI32's own name for TransparentBlt, which msimg32 only passes on: msimg32 is no known DLL,
    // so importing it would load a msimg32.dll lying beside the program.
    GdiTransparentBlt(dc, left, top, info.bmWidth, info.bmHeight, source.get(), 0, 0, info.bmWidth,
                      info.bmHeight, kSeeThrough);
    SelectObject(source.get(), old);
}

void DrawCaption(HDC dc, HWND button, RECT area, bool disabled) {
    const std::wstring text = WideText(button);
    SetBkMode(dc, TRANSPARENT);
    const auto draw = [&](COLORREF colour, int offset) {
        RECT r = area;
        OffsetRect(&r, offset, offset);
        SetTextColor(dc, colour);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    };
    if (disabled) {
        // Embossed grey, as a disabled button shows its caption.
        draw(GetSysColor(COLOR_3DHILIGHT), 1);
        draw(GetSysColor(COLOR_GRAYTEXT), 0);
    } else {
        draw(GetSysColor(COLOR_BTNTEXT), 0);
    }
}

}  // namespace

void KeepDoubleClicksAsClicks(HWND button) { SetWindowSubclass(button, DoubleClickAsClick, 0, 0); }

void DrawWhiteButton(const DRAWITEMSTRUCT& item, HBITMAP picture) {
    const HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int saved = SaveDC(dc);

    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);

    RECT content = r;
    if (pressed) OffsetRect(&content, 1, 1);
    if (picture != nullptr)
        DrawPicture(dc, picture, content);
    else
        DrawCaption(dc, item.hwndItem, content, disabled);

    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = r;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
    RestoreDC(dc, saved);
}

HWND AddTooltip(HWND window, HWND control, const wchar_t* text) {
    const HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    return tip;
}

}  // namespace vemor::forms
