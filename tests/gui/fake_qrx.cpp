// Stands in for the host test program: records how it was started in started.txt beside
// itself (its own path, its command line, the show state asked for) and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::wstring record = std::wstring(self) + L"\n" + GetCommandLineW() + L"\n" + std::to_wstring(show) + L"\n";
    std::wstring folder = self;
    folder = folder.substr(0, folder.rfind(L'\\') + 1);
    // Written whole under another name and renamed into place, so that a reader that sees
    // started.txt sees all of it.
    const std::wstring partial = folder + L"started.part";
    const HANDLE out = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(out, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(out);
    if (!ok) return 1;
    return MoveFileExW(partial.c_str(), (folder + L"started.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
