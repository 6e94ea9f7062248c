#include "refresh_session_list.h"

#include "error_report.h"
#include "result_lines.h"
#include "scan_sessions.h"
#include "state.h"

namespace vemor {

void RefreshSessionList() {
    try {
        ScanSessions(PatchPath, "*.*");
        ResultList& list = *lstPatchSitzung;
        if (EndsWithClientEntry(list)) list.Remove(list.Count() - 1);
        if (list.Count() == 0) {
            list.Clear();
            list.Append(EmptyResultLine(SessionCount));
        }
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
    }
}

}  // namespace vemor
