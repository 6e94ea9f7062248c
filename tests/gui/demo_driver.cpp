// Drives the desktop program for the demo script on a screen without a user: starts it,
// saves pictures of the main window after the first preview (and with its list scrolled to the
// end), of the folder dialog and after "Ausführen", and closes it again. Usage: demo_driver PROGRAM OUTPUT_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kButtonChangePath = 208;  // frmPatch72_01::cmdChangePath
constexpr int kButtonStart = 201;       // frmPatch72_01::cmdStart
constexpr int kButtonOk = 101;          // frmEinstellungenPath::cmdOk
constexpr int kList = 206;              // frmPatch72_01::lstPatchSitzung

HWND WaitForWindow(const wchar_t* window_class) {
    for (int i = 0; i < 200; ++i) {
        if (const HWND window = FindWindowW(window_class, nullptr); window && IsWindowVisible(window)) {
            Sleep(700);  // let it finish painting
            return window;
        }
        Sleep(100);
    }
    return nullptr;
}

// The window as the screen shows it, frame included, as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::wstring& file) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size),
                            0, 0, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
    bool saved = false;
    if (FILE* out = _wfopen(file.c_str(), L"wb")) {
        saved = fwrite(&header, sizeof(header), 1, out) == 1 &&
                fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 && fwrite(bits, size, 1, out) == 1;
        fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const std::wstring folder = std::wstring(argv[2]) + L"\\";
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    const HWND main = WaitForWindow(L"VemorFrmPatch72_01");
    if (main == nullptr) return 1;
    bool ok = SaveScreenshot(main, folder + L"main-window.bmp");
    // The demo's names outside the Windows code page are at the end of the list.
    const HWND list = GetDlgItem(main, kList);
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(SendMessageW(list, LB_GETCOUNT, 0, 0) - 1), 0);
    Sleep(700);
    ok = SaveScreenshot(main, folder + L"main-window-end.bmp") && ok;
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);

    PostMessageW(GetDlgItem(main, kButtonChangePath), BM_CLICK, 0, 0);
    if (const HWND dialog = WaitForWindow(L"VemorFrmEinstellungenPath")) {
        ok = SaveScreenshot(dialog, folder + L"folder-dialog.bmp") && ok;
        PostMessageW(GetDlgItem(dialog, kButtonOk), BM_CLICK, 0, 0);
        Sleep(500);
    } else {
        ok = false;
    }

    PostMessageW(GetDlgItem(main, kButtonStart), BM_CLICK, 0, 0);
    for (int i = 0; i < 100 && IsWindowEnabled(GetDlgItem(main, kButtonStart)); ++i) Sleep(100);
    Sleep(700);
    ok = SaveScreenshot(main, folder + L"after-start.bmp") && ok;

    PostMessageW(main, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok ? 0 : 1;
}
