#pragma once

#include <string>

namespace vemor {

// Walks the client-data tree below folder (which gets a trailing separator) and lists, or
// with ApplyPatch set patches, every patchable session in lstPatchSitzung.
void ScanSessions(std::string& folder, const std::string& pattern);

}  // namespace vemor
