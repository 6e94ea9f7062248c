#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "user_folder_services.h"

namespace vemor::test {

// The registry and the program folder the user-folder lookups see while it lives. It answers
// with the codes of the Windows functions and keeps track of the keys left open.
class FakeRegistry final : public UserFolderServices {
public:
    struct Value {
        std::uint32_t type;
        std::string bytes;                      // as stored
        std::optional<std::string> bytes_read;  // what a read with a buffer finds, if changed since
    };

    FakeRegistry();
    ~FakeRegistry() override;
    FakeRegistry(const FakeRegistry&) = delete;
    FakeRegistry& operator=(const FakeRegistry&) = delete;

    void Key(const std::string& key_path) { keys[key_path]; }
    void Set(const std::string& key_path, const std::string& name, Value value) {
        keys[key_path][name] = std::move(value);
    }

    // A text in the registry's own encoding, from UTF-8, with its NUL unless told otherwise.
    static std::string Text(std::string_view utf8, bool with_nul = true);
    static std::string Number(std::int32_t number);

    std::int32_t OpenKey(RegistryRoot root, const std::string& key_path, std::uint32_t access,
                         platform::RegistryKey& key) override;
    std::int32_t QueryValue(platform::RegistryKey key, const std::string& value_name,
                            std::uint32_t& type, void* data, std::uint32_t& size) override;
    std::int32_t CloseKey(platform::RegistryKey key) override;
    std::string ProgramFolder() override { return program_folder; }

    std::map<std::string, std::map<std::string, Value>> keys;
    std::string program_folder;
    std::int32_t close_status = 0;
    bool throw_on_query = false;

    std::vector<std::string> opened;           // key paths asked for, in order
    std::set<platform::RegistryKey> open_keys;  // handed out and not yet closed

private:
    std::map<platform::RegistryKey, std::string> handles_;
    platform::RegistryKey next_handle_ = 100;
};

}  // namespace vemor::test
