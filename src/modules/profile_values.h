#pragma once

#include <optional>
#include <string>

#include "profile.h"

namespace vemor {

// A profile value: a text, or unset when nothing could be read.
using ProfileValue = std::optional<std::string>;

// The value of key in section of the step's profile file, or fallback where the file, the
// section or the key is missing. Only a file whose name holds ".DAT" or ".INI" is read: any
// other gives unset and is never opened. A failure is shown to the user and gives unset.
ProfileValue ReadIniValue(platform::ProfileStep& step, const std::string& section, const std::string& key,
                          const std::string& fallback);
// The same in a step of its own.
ProfileValue ReadIniValue(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback);

// Sets key in section to value, in the version of the file the step read. A write the file
// refuses is no failure: the step tells why, and the value read back afterwards shows it. A
// failure is shown to the user.
void WriteIniValue(platform::ProfileStep& step, const std::string& section, const std::string& key,
                   const std::string& value);
// The same in a step of its own.
void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace vemor
