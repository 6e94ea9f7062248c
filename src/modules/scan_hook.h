#pragma once

#include <functional>
#include <string>

namespace vemor {

// Tests only: called with the path of each folder entry just before the scan examines it,
// so that a test can change the tree while a run walks it.
inline std::function<void(const std::string& entry_path)> ScanHookForTests;

}  // namespace vemor
