#include "refresh_session_list.h"

#include "error_report.h"
#include "recovery.h"
#include "result_lines.h"
#include "state.h"

namespace vemor {

namespace {

ScanReport ReportOf(const platform::Recovery& recovery) {
    using Kind = platform::Recovery::Kind;
    ScanReport report{ScanReport::Kind::kRestored, recovery.file, recovery.problem};
    report.record = recovery.record;
    if (recovery.kind == Kind::kCompleted) report.kind = ScanReport::Kind::kFoundComplete;
    if (recovery.kind == Kind::kKept) report.kind = ScanReport::Kind::kRecordKept;
    if (recovery.kind == Kind::kUnreadable) report.kind = ScanReport::Kind::kRecordUnreadable;
    return report;
}

// Writes an earlier run left part-way are undone first, so that the scan judges each file as
// it was before them, and no record is older than one run.
void RecoverInterruptedWrites(const ScanObservers& observers) {
    for (const platform::Recovery& recovery : platform::RecoverInterruptedWrites())
        if (observers.report) observers.report(ReportOf(recovery));
}

}  // namespace

ScanOutcome RunScan(const ScanContext& run) {
    RecoverInterruptedWrites(run.observers);
    ScanOutcome outcome{ScanSessions(run)};
    try {
        ResultList& list = run.list;
        if (EndsWithClientEntry(list)) list.Remove(list.Count() - 1);
        if (list.Count() == 0) {
            list.Clear();
            list.Append(EmptyResultLine(run.session_count));
        }
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
    }
    return outcome;
}

void RefreshSessionList(const ScanObservers& observers) {
    try {
        const ScanContext run{PatchPath, ApplyPatch != 0, *lstPatchSitzung, CancelScan, SessionCount, observers};
        PatchPath = RunScan(run).folder;
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
    }
}

}  // namespace vemor
