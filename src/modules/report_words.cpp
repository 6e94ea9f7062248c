#include "report_words.h"

namespace vemor {

std::string DescribeProblem(const platform::FileProblem& problem) {
    using Kind = platform::FileProblem::Kind;
    switch (problem.kind) {
        case Kind::kMissing: return "no longer there";
        case Kind::kNotAFile: return "not a regular file";
        case Kind::kNotAFolder: return "not a folder";
        case Kind::kDenied: return "permission denied";
        case Kind::kReadOnly: return "write-protected";
        case Kind::kLocked: return "locked by another program";
        case Kind::kChanged: return "changed since it was read";
        case Kind::kMoved: return "moved, renamed or removed during the run";
        case Kind::kNoSpace: return "no space left on the device";
        case Kind::kBadName: return "no file can have that name";
        case Kind::kNoMemory: return "not enough memory";
        case Kind::kNoRecord:
            return "no copy of the bytes to be moved could be kept" +
                   (problem.text.empty() ? std::string() : " (" + problem.text + ")");
        case Kind::kOther: break;
    }
    if (!problem.text.empty()) return problem.text;
    if (problem.code != 0) return "system error " + std::to_string(problem.code);
    return "the system gave no reason";
}

namespace {

std::string Damage(const platform::FileProblem& problem, const std::string& record) {
    return "damaged: could not be restored (" + DescribeProblem(problem) + "); its original bytes are kept in " +
           record + " and are written back by the next run";
}

// Why a record stays: the file is not as its write left it, or is not there, or is in use.
std::string Kept(const ScanReport& report) {
    using Kind = platform::FileProblem::Kind;
    const std::string stays = "; its original bytes stay in " + report.record;
    switch (report.problem.kind) {
        case Kind::kChanged:
        case Kind::kMoved:
        case Kind::kNotAFile: return "not written back: changed otherwise since a write failed" + stays;
        case Kind::kMissing: return "not written back: no longer there" + stays;
        case Kind::kLocked: return "not written back yet: locked by another program" + stays + " for the next run";
        default: return Damage(report.problem, report.record);
    }
}

}  // namespace

std::string DescribeReport(const ScanReport& report) {
    using Kind = ScanReport::Kind;
    switch (report.kind) {
        case Kind::kWriteFailed:
            if (!report.problem.kept_in.empty()) return Damage(report.problem, report.problem.kept_in);
            return "not patched: " + DescribeProblem(report.problem);
        case Kind::kRestored: return "restored: its original bytes were written back from " + report.record;
        case Kind::kFoundComplete:
            return "an earlier run's write was found complete; its record " + report.record + " is removed";
        case Kind::kRecordKept: return Kept(report);
        case Kind::kRecordUnreadable: return "cannot be read (" + DescribeProblem(report.problem) + "); left as it is";
        case Kind::kReadBackFailed: return "not patched: cannot be read back (" + DescribeProblem(report.problem) + ")";
        case Kind::kWrongReadBack:
            return "not patched: the value read back is " + (report.read_back.empty() ? "empty" : report.read_back);
        case Kind::kFileUnreadable:
        case Kind::kFolderUnreadable: break;
    }
    return "cannot be read (" + DescribeProblem(report.problem) + ")";
}

std::string DescribeFolderProblem(const platform::FileProblem& problem) {
    using Kind = platform::FileProblem::Kind;
    // A name no file can have is no folder either.
    if (problem.kind == Kind::kMissing || problem.kind == Kind::kBadName) return "no such folder";
    if (problem.kind == Kind::kNotAFolder) return "is not a folder";
    return "cannot be read (" + (problem.text.empty() ? DescribeProblem(problem) : problem.text) + ")";
}

std::string DescribeStreamProblem(const platform::StreamProblem& problem) {
    using Kind = platform::StreamProblem::Kind;
    switch (problem.kind) {
        case Kind::kClosed: return "closed";
        case Kind::kNoSpace: return "no space left on the device";
        case Kind::kBrokenPipe: return "broken pipe";
        case Kind::kOther: break;
    }
    return problem.text.empty() ? "the system gave no reason" : problem.text;
}

}  // namespace vemor
