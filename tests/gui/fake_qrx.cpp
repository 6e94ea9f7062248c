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
    std::wstring file = self;
    file = file.substr(0, file.rfind(L'\\') + 1) + L"started.txt";
    const HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(out);
    return 0;
}
