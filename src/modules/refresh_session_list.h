#pragma once

namespace vemor {

// One scan run over PatchPath, then the result list tidied: a trailing client entry without
// a session entry goes, and an empty list gets the empty-result line.
void RefreshSessionList();

}  // namespace vemor
