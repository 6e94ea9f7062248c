#include "qrx_launcher.h"

#include <initializer_list>

#include "failures.h"
#include "files.h"
#include "profile_values.h"
#include "user_folders.h"
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

// Whether a plain file stored under exactly this name (in any letter case) is at path. A path
// that cannot be looked up holds no program the user could start.
bool HoldsFile(const std::string& path, const char* name) {
    const platform::FoundFile found = platform::FindPlainFile(path);
    return !found.problem && platform::ToUpper(found.name) == platform::ToUpper(name);
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
    const std::string folder = HostProgramFolder(help_folder);
    // A folder relative to wherever the tool was started from would run whatever qrx.exe lies
    // there, in Downloads say: only a folder from the top of a drive or share counts.
    if (!platform::IsAbsoluteFolder(folder)) return {};
    const std::string program = platform::StoredPath(folder + kProgramFile);
    if (!HoldsFile(program, kProgramFile)) return {};
    return {true, platform::AbsolutePath(program)};
}

void StartProgram(const std::string& path) {
    using Outcome = platform::ProcessStart::Outcome;
    const platform::ProcessStart start = platform::StartProcess(path, platform::WindowShow::kMinimized);
    if (start.outcome == Outcome::kStarted) return;
    if (start.outcome == Outcome::kNotFound) throw FileNotFound(path);
    throw CannotStart(path, start.reason);
}

}  // namespace vemor
