#include "user_folder_services.h"

#include "program_folder.h"

namespace vemor {
namespace {

class PlatformServices final : public UserFolderServices {
public:
    std::int32_t OpenKey(RegistryRoot root, const std::string& key_path, std::uint32_t access,
                         platform::RegistryKey& key) override {
        return platform::OpenRegistryKey(root, key_path, access, key);
    }
    std::int32_t QueryValue(platform::RegistryKey key, const std::string& value_name,
                            std::uint32_t& type, void* data, std::uint32_t& size) override {
        return platform::QueryRegistryValue(key, value_name, type, data, size);
    }
    std::int32_t CloseKey(platform::RegistryKey key) override { return platform::CloseRegistryKey(key); }
    std::string ProgramFolder() override { return platform::ProgramFolder(); }
};

UserFolderServices& Platform() {
    static PlatformServices services;
    return services;
}

UserFolderServices*& Installed() {
    static UserFolderServices* installed = &Platform();
    return installed;
}

}  // namespace

UserFolderServices& CurrentUserFolderServices() { return *Installed(); }

void SetUserFolderServices(UserFolderServices* services) {
    Installed() = services ? services : &Platform();
}

}  // namespace vemor
