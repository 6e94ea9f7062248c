#pragma once

#include <optional>
#include <string>

namespace vemor {

// A profile value: a text, or unset when nothing could be read.
using ProfileValue = std::optional<std::string>;

// The value of key in section of a profile file, or fallback where the file, the section or
// the key is missing. Only a file whose name holds ".DAT" or ".INI" is read: any other gives
// unset and is never opened. A failure is shown to the user and gives unset.
ProfileValue ReadIniValue(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback);

// Sets key in section to value. A write the file refuses is no failure: only the value read
// back afterwards tells whether it took effect. A failure is shown to the user.
void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace vemor
