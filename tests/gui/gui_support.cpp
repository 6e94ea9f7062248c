#include "gui/gui_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "layout.h"

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

constexpr const wchar_t* kDpiVariable = L"VEMOR_TEST_DPI";
constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";

// The user's DPI setting, which processes started meanwhile see; put back as it was.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        DWORD size = sizeof(old_);
        had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_, &size) ==
               ERROR_SUCCESS;
        Write(dpi);
    }
    ~LogPixels() {
        if (had_) Write(old_);
        else RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

private:
    static void Write(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    }
    DWORD old_ = 0;
    bool had_ = false;
};

// A process that RunTestsAtDpi started fails unless it sees the DPI it was started for and
// runs every test it was given: else it would pass without having tested anything.
class StartedAtDpi : public ::testing::Environment {
    void SetUp() override {
        wchar_t wanted[16] = {};
        if (GetEnvironmentVariableW(kDpiVariable, wanted, 16) == 0) return;
        ASSERT_EQ(forms::SystemDpi(), _wtoi(wanted));
        const std::string filter = GTEST_FLAG_GET(filter);
        ASSERT_EQ(::testing::UnitTest::GetInstance()->test_to_run_count(),
                  std::count(filter.begin(), filter.end(), ':') + 1)
            << filter;
    }
};
[[maybe_unused]] const auto* started_at_dpi = ::testing::AddGlobalTestEnvironment(new StartedAtDpi);

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

DWORD RunTestsAtDpi(int dpi, const std::string& tests) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=" + Utf16(tests);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    DWORD code = ~0u;  // not started
    SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str());
    {
        const LogPixels setting(static_cast<DWORD>(dpi));
        if (CreateProcessW(program, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            // One that hangs must not outlive the setting, nor keep the desktop.
            if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, code);
            WaitForSingleObject(process.hProcess, INFINITE);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    SetEnvironmentVariableW(kDpiVariable, nullptr);
    return code;
}

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
