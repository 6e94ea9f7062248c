#include "registry.h"

#include <cstring>
#include <iterator>
#include <optional>

#include "posix/user_dirs.h"
#include "text.h"

// The two shell-folder keys of the current user, served from the desktop's own conventions;
// both give the same values. Error codes are those the Windows functions give.
namespace vemor::platform {
namespace {

constexpr const char* kShellFolderKeys[] = {kShellFoldersKey, kShellKey};
constexpr RegistryKey kKeyCount = std::size(kShellFolderKeys);

// Registry names regard no letter case.
bool SameName(const std::string& a, const char* b) { return ToUpper(a) == ToUpper(b); }

std::optional<std::string> DesktopValue(const std::string& value_name) {
    if (SameName(value_name, "Personal")) return posix::DocumentsFolder();
    if (SameName(value_name, "AppData")) return posix::ConfigHome();
    return std::nullopt;
}

// Handles are 1-based indexes into kShellFolderKeys.
bool IsOpenKey(RegistryKey key) { return key >= 1 && key <= kKeyCount; }

}  // namespace

std::int32_t OpenRegistryKey(RegistryRoot root, const std::string& key_path,
                             std::uint32_t /*access*/, RegistryKey& key) {
    if (root != kHkeyCurrentUser) return kErrorInvalidHandle;
    for (RegistryKey index = 0; index < kKeyCount; ++index) {
        if (SameName(key_path, kShellFolderKeys[index])) {
            key = index + 1;
            return 0;
        }
    }
    return kErrorFileNotFound;
}

std::int32_t QueryRegistryValue(RegistryKey key, const std::string& value_name,
                                std::uint32_t& type, void* data, std::uint32_t& size) {
    if (!IsOpenKey(key)) return kErrorInvalidHandle;
    const std::optional<std::string> text = DesktopValue(value_name);
    if (!text) return kErrorFileNotFound;
    const auto needed = static_cast<std::uint32_t>(text->size() + 1);  // with the NUL
    type = kRegSz;
    if (data != nullptr && size < needed) {
        size = needed;
        return kErrorMoreData;
    }
    if (data != nullptr) std::memcpy(data, text->c_str(), needed);
    size = needed;
    return 0;
}

std::int32_t CloseRegistryKey(RegistryKey key) { return IsOpenKey(key) ? 0 : kErrorInvalidHandle; }

std::string RegistryText(std::string_view data) { return std::string(data); }

}  // namespace vemor::platform
