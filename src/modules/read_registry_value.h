#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "registry.h"

namespace vemor {

// A registry value as read: unset, a text (REG_SZ) or a signed 32-bit number (REG_DWORD).
using RegistryValue = std::variant<std::monostate, std::string, std::int32_t>;
using platform::kHkeyCurrentUser;
using platform::RegistryRoot;

// Reads value_name below root\key_path into value, which is written only when a text or a
// 32-bit number was read. Returns 0 or the error code of the step that failed.
std::int32_t ReadRegistryValue(RegistryRoot root, const std::string& key_path,
                               const std::string& value_name, RegistryValue& value);

}  // namespace vemor
