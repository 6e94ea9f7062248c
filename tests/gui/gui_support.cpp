#include "gui/gui_support.h"

#include <commctrl.h>

#include <vector>

namespace vemor::test {
namespace {

std::wstring TextOfWindow(HWND window);

struct Pending {
    const wchar_t* window_class;
    HWND owner;
    std::function<void(HWND)> action;
    const wchar_t* caption;
    bool ran = false;
};
std::vector<Pending*> pending;

BOOL CALLBACK FindShown(HWND window, LPARAM lparam) {
    auto* wanted = reinterpret_cast<Pending*>(lparam);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (wcscmp(name, wanted->window_class) == 0 && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == wanted->owner &&
        (wanted->caption == nullptr || TextOfWindow(window) == wanted->caption)) {
        wanted->ran = true;
        wanted->action(window);
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    for (Pending* wanted : pending)
        if (!wanted->ran) EnumThreadWindows(GetCurrentThreadId(), FindShown, reinterpret_cast<LPARAM>(wanted));
}

std::wstring TextOfWindow(HWND window) { return TextOf(window); }

}  // namespace

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string Utf8(const std::wstring& text) {
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();
    return out;
}

std::wstring Utf16(const std::string& text) {
    std::wstring out(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
    out.pop_back();
    return out;
}

RECT RectInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT ScaledFrom96(RECT r, int dpi) {
    const int left = MulDiv(r.left, dpi, 96);
    const int top = MulDiv(r.top, dpi, 96);
    return {left, top, left + MulDiv(r.right - r.left, dpi, 96), top + MulDiv(r.bottom - r.top, dpi, 96)};
}

Picture PrintedPicture(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC memory = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    Picture picture;
    if (bitmap != nullptr) {
        picture.width = width;
        const HGDIOBJ old = SelectObject(memory, bitmap);
        PrintWindow(control, memory, 0);
        GdiFlush();
        const auto* bgr = static_cast<const DWORD*>(bits);
        for (int i = 0; i < width * height; ++i)
            picture.pixels.push_back(RGB((bgr[i] >> 16) & 0xFF, (bgr[i] >> 8) & 0xFF, bgr[i] & 0xFF));
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return picture;
}

bool NearMagenta(COLORREF colour) { return GetRValue(colour) > 150 && GetGValue(colour) < 100 && GetBValue(colour) > 150; }

void Pump(forms::frmPatch72_01* form) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        if (form != nullptr && form->Window() != nullptr && form->TranslateKeys(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void PressKey(forms::frmPatch72_01& form, WPARAM key, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    const HWND target = GetFocus() != nullptr ? GetFocus() : form.Window();
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    Pump(&form);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

WhenShown::WhenShown(const wchar_t* window_class, HWND owner, std::function<void(HWND)> action,
                     const wchar_t* caption)
    : timer_(SetTimer(nullptr, 0, 50, OnTimer)), wanted_(new Pending{window_class, owner, std::move(action), caption}) {
    pending.push_back(static_cast<Pending*>(wanted_));
}

WhenShown::~WhenShown() {
    KillTimer(nullptr, timer_);
    std::erase(pending, static_cast<Pending*>(wanted_));
    delete static_cast<Pending*>(wanted_);
}

bool WhenShown::Ran() const { return static_cast<Pending*>(wanted_)->ran; }

void Press(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

std::unique_ptr<forms::frmPatch72_01> OpenMainWindow() {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)initialised;
    auto form = forms::frmPatch72_01::Create();
    if (form) {
        form->Show(SW_SHOWNORMAL);
        Pump(form.get());
    }
    return form;
}

void PreviewFolder(forms::frmPatch72_01& form, const std::string& folder) {
    SetWindowTextW(GetDlgItem(form.Window(), forms::frmPatch72_01::txtPatchVerzeichnis), Utf16(folder).c_str());
    SendMessageW(GetDlgItem(form.Window(), forms::frmPatch72_01::cmdRefresh), BM_CLICK, 0, 0);
    Pump(&form);
}

}  // namespace vemor::test
