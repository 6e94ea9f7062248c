#include "modSpezial.h"

#include "modPatch72_01.h"
#include "state.h"

namespace vemor {

std::string EmptyResultLine(std::int32_t session_count) {
    return "Keine Sitzung für diesen Patch gefunden (0 von " + std::to_string(session_count) + ") ";
}

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
