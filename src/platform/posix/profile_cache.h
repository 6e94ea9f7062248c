#pragma once

#include <memory>
#include <string>

#include "posix/ini_document.h"

namespace vemor::platform::posix {

// A profile file as we read it: its bytes and what they parse to.
struct ProfileCopy {
    std::string bytes;
    IniDocument document;
};
using Profile = std::shared_ptr<const ProfileCopy>;

// The profile file at file, its name's letter case ignored, parsed once for the many values
// a scan reads from it: the recently used copy when the file is still the version it was
// read from, else read afresh. Null when the file cannot be read.
Profile ReadProfile(const std::string& file);

// The copy of path (spelled as stored) read last, whatever happened to the file since; null when there is none.
Profile LastRead(const std::string& path);

// After a write of ours: the next read reads the file again.
void ForgetProfile(const std::string& path);

}  // namespace vemor::platform::posix
