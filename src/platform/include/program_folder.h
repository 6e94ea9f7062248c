#pragma once

#include <string>

namespace vemor::platform {

// The folder that holds the running executable, UTF-8, without a trailing separator unless
// it is a root ("C:\", "/"); the empty text when it cannot be found.
std::string ProgramFolder();

}  // namespace vemor::platform
