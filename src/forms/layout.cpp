#include "layout.h"

#include "gdi.h"

namespace vemor::forms {

int SystemDpi() {
    const auto screen = Own<OwnedScreenDc>(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

int Scale(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

RECT ScaleRect(const TwipsRect& rect, int dpi) {
    const int left = Scale(rect.left, dpi);
    const int top = Scale(rect.top, dpi);
    return {left, top, left + Scale(rect.width, dpi), top + Scale(rect.height, dpi)};
}

RECT CentredWindowRect(int client_width, int client_height, DWORD style, DWORD ex_style) {
    RECT frame{0, 0, client_width, client_height};
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

HWND CreateControl(HWND parent, const ControlSpec& spec, int dpi) {
    const RECT r = ScaleRect(spec.rect, dpi);
    const DWORD ex_style = wcscmp(spec.window_class, L"EDIT") == 0 || wcscmp(spec.window_class, L"LISTBOX") == 0
                               ? WS_EX_CLIENTEDGE
                               : 0;
    return CreateWindowExW(ex_style, spec.window_class, spec.text, WS_CHILD | WS_VISIBLE | spec.style,
                           r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                           GetModuleHandleW(nullptr), nullptr);
}

HFONT CreateSansSerif(int centipoints, bool bold, int dpi) {
    return CreateFontW(-MulDiv(centipoints, dpi, 7200), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                       FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

namespace {

bool DialogFontDescription(LOGFONTW& font) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return false;
    font = metrics.lfMessageFont;
    return true;
}

}  // namespace

HFONT CreateDialogFont() {
    LOGFONTW font{};
    if (DialogFontDescription(font)) return CreateFontIndirectW(&font);
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT CreateDialogFace(int centipoints, int dpi) {
    LOGFONTW font{};
    if (!DialogFontDescription(font)) GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    font.lfHeight = -MulDiv(centipoints, dpi, 7200);
    font.lfWidth = 0;
    font.lfWeight = FW_NORMAL;
    font.lfItalic = FALSE;
    return CreateFontIndirectW(&font);
}

}  // namespace vemor::forms
