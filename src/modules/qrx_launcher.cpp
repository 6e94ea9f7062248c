#include "qrx_launcher.h"

#include <initializer_list>

#include "failure.h"
#include "files.h"
#include "modPatch72_01.h"
#include "process.h"
#include "text.h"

namespace vemor {
namespace {

// Folder names joined as this platform joins them, each followed by the separator.
std::string Folders(std::initializer_list<const char*> names) {
    std::string path;
    for (const char* name : names) path += std::string(name) + platform::kSeparator;
    return path;
}

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

std::string HostProgramFolder(std::string_view help_folder) {
    return RemoveEvery(RemoveEvery(platform::ToUpper(help_folder), Folders({"HILFE"})), Folders({"VERFAHREN", "QRX"}));
}

std::string MasterFilePath() { return GetAppDataPath() + Folders({"Zembrosa", "VERFAHREN", "QRX"}) + kMasterFile; }

QrxLocation LocateQrx() {
    const std::string master = MasterFilePath();
    if (!HoldsFile(master, kMasterFile)) return {};

    const std::string help_folder = ReadIniValue(master, "Optionen", "HilfeVerfahrenVerz", "").value_or("");
    const std::string program = HostProgramFolder(help_folder) + kProgramFile;
    if (!HoldsFile(program, kProgramFile)) return {};
    return {true, platform::AbsolutePath(program)};
}

void StartProgram(const std::string& path) {
    using Outcome = platform::ProcessStart::Outcome;
    const platform::ProcessStart start = platform::StartProcess(path, platform::WindowShow::kMinimized);
    if (start.outcome == Outcome::kStarted) return;
    const bool missing = start.outcome == Outcome::kNotFound;
    throw Failure(missing ? failure_number::kFileNotFound : failure_number::kInvalidCall,
                  std::string(missing ? "Datei nicht gefunden: " : "Das Programm kann nicht gestartet werden: ") +
                      path + " (" + platform::SystemErrorText(start.error) + ")");
}

}  // namespace vemor
