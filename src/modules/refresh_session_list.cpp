#include "refresh_session_list.h"

#include "error_report.h"
#include "result_lines.h"
#include "state.h"

namespace vemor {

ScanOutcome RunScan(const ScanContext& run) {
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
