#include "window_proc.h"

#include "layout.h"
#include "resources.h"

namespace vemor::forms {

void RegisterFormClass(const wchar_t* name, WNDPROC procedure) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    if (GetClassInfoExW(instance, name, &window_class)) return;
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VEMOR));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = name;
    RegisterClassExW(&window_class);
}

HWND CreateFormWindow(const wchar_t* class_name, const wchar_t* caption, int client_width, int client_height,
                      DWORD style, HWND owner, void* form) {
    const int dpi = SystemDpi();
    const RECT frame = CentredWindowRect(Scale(client_width, dpi), Scale(client_height, dpi), style, kFormExStyle);
    return CreateWindowExW(kFormExStyle, class_name, caption, style, frame.left, frame.top, frame.right - frame.left,
                           frame.bottom - frame.top, owner, nullptr, GetModuleHandleW(nullptr), form);
}

void SetFormIcon(HWND window) {
    const auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VEMOR),
                                                    IMAGE_ICON, 16, 16, LR_SHARED));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

}  // namespace vemor::forms
