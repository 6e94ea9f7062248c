#pragma once

#include <cstdint>
#include <string>

#include "read_registry_value.h"
#include "registry.h"

namespace vemor {

// What the user-folder lookups ask of the platform: the three registry operations and the
// program's own folder. Tests put a fake registry in its place.
class UserFolderServices {
public:
    virtual ~UserFolderServices() = default;
    virtual std::int32_t OpenKey(RegistryRoot root, const std::string& key_path,
                                 std::uint32_t access, platform::RegistryKey& key) = 0;
    virtual std::int32_t QueryValue(platform::RegistryKey key, const std::string& value_name,
                                    std::uint32_t& type, void* data, std::uint32_t& size) = 0;
    virtual std::int32_t CloseKey(platform::RegistryKey key) = 0;
    virtual std::string ProgramFolder() = 0;
};

UserFolderServices& CurrentUserFolderServices();

// nullptr puts the platform's own services back.
void SetUserFolderServices(UserFolderServices* services);

}  // namespace vemor
