#include "cli.h"

#include "console.h"
#include "files.h"
#include "modPatch72_01.h"
#include "modSpezial.h"
#include "state.h"

namespace vemor {
namespace {

constexpr const char* kUsage =
    "Usage: vemor-patch preview [FOLDER]\n"
    "       vemor-patch apply [FOLDER]\n"
    "       vemor-patch --help | --version\n"
    "\n"
    "Lists the stored sessions of the German standard procedure in short form 1, 2 or 3\n"
    "whose norm-data flag Normdaten is 0, below the client-data folder FOLDER, under their\n"
    "clients (preview). 'apply' sets the flag to 1 in each of them, reads it back and\n"
    "reports per session. Only that one value of each such sitzung.dat is rewritten.\n"
    "Without FOLDER the default client-data folder is used: the folder Eigene Diagnostik\n"
    "in the user's documents folder.\n"
    "\n"
    "Exit status: 0 run completed, 1 at least one session could not be patched,\n"
    "2 usage error.\n";

int UsageError(CliOutput& output, const std::string& message) {
    output.err += "vemor-patch: " + message + "\n\n" + kUsage;
    return 2;
}

// The folder the main window starts with. The documents folder's fallback appends
// PatchPath, which is still empty when the window looks it up.
std::string DefaultClientFolder() {
    PatchPath.clear();
    return GetPersonalPath() + "Eigene Diagnostik" + platform::kSeparator;
}

bool HasUnpatchedLine(const LineList& list) {
    for (const std::string& line : list.lines())
        if (line.find("[Patch NICHT ausgeführt") != std::string::npos) return true;
    return false;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliOutput& output) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        output.out += kUsage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        output.out += std::string(kVersion) + "\n";
        return 0;
    }
    if (args.empty() || args.size() > 2 || (args[0] != "preview" && args[0] != "apply"))
        return UsageError(output, "expected 'preview [FOLDER]' or 'apply [FOLDER]'");
    if (args.size() == 2 && args[1].empty()) return UsageError(output, "FOLDER is empty");

    LineList list;
    lstPatchSitzung = &list;
    SetErrorPresenter([&output](const std::string& text, const std::string& caption) {
        output.err += caption + ": " + text + "\n";
    });
    SessionCount = 0;
    list.Clear();
    ApplyPatch = args[0] == "apply" ? -1 : 0;
    PatchPath = args.size() == 2 ? platform::AbsolutePath(args[1]) : DefaultClientFolder();
    RefreshSessionList();
    SetErrorPresenter(nullptr);
    lstPatchSitzung = nullptr;

    for (const std::string& line : list.lines()) output.out += line + std::string(platform::LineEnd());
    return HasUnpatchedLine(list) ? 1 : 0;
}

}  // namespace vemor
