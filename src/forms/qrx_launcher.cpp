#include "forms/qrx_launcher.h"

#include <windows.h>

#include "app/failure.h"
#include "modules/modPatch72_01.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace vemor::forms {
namespace {

constexpr std::int32_t kFileNotFound = 53;
constexpr std::int32_t kInvalidCall = 5;

// Whether a plain file stored under exactly this name (in any letter case) is at path.
bool HoldsFile(const std::string& path, const char* name) {
    try {
        return platform::ToUpper(platform::FindPlainFile(path)) == platform::ToUpper(name);
    } catch (...) {
        return false;
    }
}

}  // namespace

std::string RemoveEvery(std::string_view text, std::string_view segment) {
    std::string result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!segment.empty() && text.substr(pos, segment.size()) == segment) {
            pos += segment.size();
        } else {
            result += text[pos++];
        }
    }
    return result;
}

std::string ProgramFolder(std::string_view help_folder) {
    return RemoveEvery(RemoveEvery(platform::ToUpper(help_folder), "HILFE\\"), kMasterSubfolder);
}

QrxLocation LocateQrx() {
    std::string master = GetAppDataPath() + kMasterFolder;
    master += kMasterSubfolder;
    master += kMasterFile;
    if (!HoldsFile(master, kMasterFile)) return {};

    const std::string help_folder = ReadIniValue(master, "Optionen", "HilfeVerfahrenVerz", "").value_or("");
    const std::string program = ProgramFolder(help_folder) + kProgramFile;
    if (!HoldsFile(program, kProgramFile)) return {};
    return {true, platform::AbsolutePath(program)};
}

void StartProgram(const std::string& path) {
    const std::wstring application = platform::win32::Wide(path);
    std::wstring command_line = L"\"" + application + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        throw Failure(missing ? kFileNotFound : kInvalidCall,
                      std::string(missing ? "Datei nicht gefunden: " : "Das Programm kann nicht gestartet werden: ") +
                          path + " (Windows-Fehler " + std::to_string(error) + ")");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace vemor::forms
