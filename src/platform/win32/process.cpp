#include <windows.h>

#include "process.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "utf16.h"

namespace vemor::platform {

ProcessStart StartProcess(const std::string& path, WindowShow show) {
    const std::wstring application = Utf16(path);
    // Quoted, so that a blank in a folder name cannot start "C:\Prog.exe" for "C:\Prog Files\x.exe".
    std::wstring command_line = L"\"" + application + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show == WindowShow::kMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? ProcessStart::Outcome::kNotFound : ProcessStart::Outcome::kRefused, error,
                win32::SystemMessage(error)};
    }
    const win32::OwnedHandle thread(process.hThread);
    const win32::OwnedHandle started(process.hProcess);
    return {ProcessStart::Outcome::kStarted};
}

}  // namespace vemor::platform
