#include "cli.h"

#include <atomic>
#include <cstdint>
#include <optional>

#include "console.h"
#include "escape_controls.h"
#include "files.h"
#include "folder_state.h"
#include "interrupt.h"
#include "modPatch72_01.h"
#include "modSpezial.h"
#include "report_words.h"

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
    "Options, before or after the command word:\n"
    "  -h, --help   show this text\n"
    "  --version    show the program's version\n"
    "  --           end of the options: a FOLDER beginning with '-' follows\n"
    "\n"
    "Each result is printed on one line in UTF-8. Control characters in names and labels\n"
    "are escaped: U+0000 to U+001F and DEL as \\xHH (\\x0A for a line break), U+0080 to\n"
    "U+009F as \\u0080 to \\u009F, a backslash as \\\\, and each byte that is no UTF-8 as\n"
    "\\xHH. All other characters are printed as they are.\n"
    "\n"
    "When standard error is a terminal and a run takes longer than a second, one line\n"
    "there counts the folders and sessions examined so far; it is cleared before the\n"
    "results are printed.\n"
    "\n"
    "Each session that could not be patched, and each file or folder below FOLDER that\n"
    "could not be read, gets one line on standard error: its path, escaped as the\n"
    "results are, and the reason.\n"
    "\n"
    "A value of another length moves the bytes after it; they are first kept in a record\n"
    "on the local disk ($XDG_STATE_HOME/vemor-patch, by default ~/.local/state/vemor-patch;\n"
    "on Windows %LOCALAPPDATA%\\Vemor Patch 72.01). A write that fails is undone; a file\n"
    "that cannot be put back is reported as damaged and keeps its record. Each run, also\n"
    "a preview, first writes back every record whose file holds only what its write can\n"
    "have left, and reports each record on standard error before the scan.\n"
    "\n"
    "Ctrl-C ends the run once the session at hand is done; the results so far are\n"
    "printed.\n"
    "\n"
    "Exit status: 0 run completed, 1 at least one session could not be patched,\n"
    "2 usage error, 3 FOLDER is missing, not a folder or cannot be read (the scan's\n"
    "result line is printed all the same, the reason goes to standard error), 4 a file\n"
    "or folder below FOLDER could not be read, 5 the results could not be written to\n"
    "standard output (closed, a full disk, a broken pipe; the reports still go to\n"
    "standard error), 6 a session file is damaged and could not be restored, or a record\n"
    "of an earlier write was kept or could not be read, 130 interrupted by Ctrl-C (on\n"
    "Linux also 143 for SIGTERM, 129 for SIGHUP and 141 for SIGPIPE). Where several\n"
    "apply, an interrupt comes first, then 5, then 6, then 3, then 4, then 1.\n";

struct Command {
    enum class Kind { kScan, kHelp, kVersion, kUsageError } kind = Kind::kScan;
    std::string problem = {};  // the usage error's message
    bool apply = false;
    std::optional<std::string> folder = {};
};

Command UsageProblem(std::string message) {
    return {.kind = Command::Kind::kUsageError, .problem = std::move(message)};
}

// Options are read in order up to "--"; the first of them that ends the run decides.
Command Parse(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    bool options_ended = false;
    for (const std::string& arg : args) {
        if (options_ended || arg.empty() || arg.front() != '-') {
            operands.push_back(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (arg == "--help" || arg == "-h") {
            return {.kind = Command::Kind::kHelp};
        } else if (arg == "--version") {
            return {.kind = Command::Kind::kVersion};
        } else {
            return UsageProblem("unknown option '" + arg + "'");
        }
    }
    if (operands.empty() || operands.size() > 2 || (operands[0] != "preview" && operands[0] != "apply"))
        return UsageProblem("expected 'preview [FOLDER]' or 'apply [FOLDER]'");
    if (operands.size() == 2 && operands[1].empty()) return UsageProblem("FOLDER is empty");
    Command command{.apply = operands[0] == "apply"};
    if (operands.size() == 2) command.folder = operands[1];
    return command;
}

int UsageError(CliOutput& output, const std::string& message) {
    output.err += "vemor-patch: " + message + "\n\n" + kUsage;
    return kUsageError;
}

std::string ReportLine(const std::string& path, const std::string& reason) {
    return "vemor-patch: " + EscapePath(path) + ": " + EscapeControls(reason) + "\n";
}

// A record named in the reason is a path too, escaped as the path is.
std::string ReportLine(const ScanReport& report) {
    const std::string words = DescribeReport(report);
    const std::string& record = report.problem.kept_in.empty() ? report.record : report.problem.kept_in;
    const std::size_t at = record.empty() ? std::string::npos : words.rfind(record);
    if (at == std::string::npos) return ReportLine(report.path, words);
    return "vemor-patch: " + EscapePath(report.path) + ": " + EscapeControls(words.substr(0, at)) + EscapePath(record) +
           EscapeControls(words.substr(at + record.size())) + "\n";
}

// What the reports of a run add up to.
struct Reported {
    bool not_patched = false;
    bool unreadable = false;
    bool damaged = false;  // a file left damaged, or a record not applied
    bool lost = false;  // a report could not be recorded
};

// One scan run over folder into list, its reports and errors into output, progress shown. An
// interrupt ends the run between two entries.
Reported Scan(const std::string& folder, bool apply, LineList& list, CliOutput& output, const CliProgress& progress) {
    Reported reported;
    SetErrorPresenter([&output](const std::string& text, const std::string& caption) {
        output.err += caption + ": " + text + "\n";
    });
    // Kept past the run: on Windows the interrupt comes on a thread of its own, an instant late.
    static std::atomic<std::int16_t> cancel;
    cancel = 0;
    const platform::InterruptCancels interrupt(cancel);
    std::int32_t sessions = 0;
    ScanContext run{folder, apply, list, cancel, sessions};
    run.observers.entry = progress.entry;
    run.observers.report = [&](const ScanReport& report) {
        if (report.Damaged()) reported.damaged = true;
        if (report.NotPatched()) reported.not_patched = true;
        else if (!report.Recovery()) reported.unreadable = true;
        try {
            output.err += ReportLine(report);
        } catch (...) {
            reported.lost = true;
        }
    };
    ProgressLine line(progress);
    std::int64_t folders = 0;
    if (progress.write) {
        run.observers.progress = [&] {
            try {
                line.Update(++folders, sessions);
            } catch (...) {
                // The line only informs; the run does not depend on it.
            }
        };
    }
    RunScan(run);
    line.Clear();
    SetErrorPresenter(nullptr);
    return reported;
}

// The statuses that apply, the most telling first.
int Status(bool folder_unusable, const Reported& reported) {
    if (const int interrupt = platform::InterruptStatus()) return interrupt;
    if (reported.damaged) return kDamaged;
    if (folder_unusable) return kFolderUnusable;
    if (reported.unreadable) return kDataUnreadable;
    if (reported.not_patched) return kNotPatched;
    return kCompleted;
}

int RunCommand(const Command& command, CliOutput& output, const CliProgress& progress) {
    const std::string folder = command.folder ? platform::AbsolutePath(*command.folder) : DefaultClientFolder();
    // The scan runs and prints its own result either way.
    const std::optional<platform::FileProblem> unusable = platform::ExamineFolder(folder);
    LineList list;
    const Reported reported = Scan(folder, command.apply, list, output, progress);

    for (const std::string& line : list.lines())
        output.out += EscapeControls(line) + std::string(platform::LineEnd());
    if (unusable) output.err += ReportLine(command.folder.value_or(folder), DescribeFolderProblem(*unusable));
    if (reported.lost) output.err += "vemor-patch: not every problem could be reported (out of memory)\n";
    if (platform::InterruptStatus() != 0) output.err += "vemor-patch: interrupted; the results so far are listed\n";
    return Status(unusable.has_value(), reported);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliOutput& output, const CliProgress& progress) {
    platform::HoldStandardStreams();
    const Command command = Parse(args);
    switch (command.kind) {
        case Command::Kind::kHelp: output.out += kUsage; return kCompleted;
        case Command::Kind::kVersion: output.out += std::string(kVersion) + "\n"; return kCompleted;
        case Command::Kind::kUsageError: return UsageError(output, command.problem);
        case Command::Kind::kScan: break;
    }
    return RunCommand(command, output, progress);
}

int WriteResults(const CliOutput& output, int status) {
    const std::optional<platform::StreamProblem> unwritten = platform::WriteOut(output.out);
    std::string reports = output.err;
    if (unwritten) reports += "vemor-patch: standard output: cannot be written (" + DescribeStreamProblem(*unwritten) + ")\n";
    platform::WriteErr(reports);
    // One that came after the run still tells the caller that the program was interrupted.
    if (const int interrupt = platform::InterruptStatus()) return interrupt;
    return unwritten ? kOutputUnwritable : status;
}

}  // namespace vemor
