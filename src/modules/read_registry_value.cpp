#include <string>

#include "read_registry_value.h"
#include "owned.h"
#include "user_folder_services.h"

namespace vemor {
namespace {

using platform::RegistryChar;
using platform::RegistryKey;

// The buffer is one character longer than the value, filled with blanks: what the query
// does not overwrite stays behind the value, and the callers strip it with the NUL.
std::int32_t ReadText(UserFolderServices& services, RegistryKey key, const std::string& value_name,
                      std::uint32_t size, RegistryValue& value) {
    const std::size_t characters = (size + sizeof(RegistryChar) - 1) / sizeof(RegistryChar) + 1;
    std::basic_string<RegistryChar> buffer(characters, RegistryChar(' '));
    std::uint32_t type = 0;
    std::uint32_t bytes = size;
    const std::int32_t status = services.QueryValue(key, value_name, type, buffer.data(), bytes);
    if (status == 0) value = platform::RegistryText(buffer);
    return status;
}

std::int32_t ReadNumber(UserFolderServices& services, RegistryKey key, const std::string& value_name,
                        std::uint32_t size, RegistryValue& value) {
    std::int32_t number = 0;
    std::uint32_t type = 0;
    // A stored value longer than its type allows must not run past the number: the query
    // then reports that it does not fit.
    std::uint32_t bytes = size < sizeof number ? size : sizeof number;
    const std::int32_t status = services.QueryValue(key, value_name, type, &number, bytes);
    if (status == 0) value = number;
    return status;
}

// Closes a key through the services that opened it.
struct KeyCloser {
    UserFolderServices* services;
    std::int32_t operator()(RegistryKey key) const { return services->CloseKey(key); }
};
// An opened key is never 0, in the system's registry or ours.
using OwnedKey = platform::Owned<RegistryKey, KeyCloser, platform::InvalidIs<RegistryKey{0}>>;

std::int32_t ReadOpenKey(UserFolderServices& services, RegistryKey key,
                         const std::string& value_name, RegistryValue& value) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    const std::int32_t status = services.QueryValue(key, value_name, type, nullptr, size);
    if (status != 0) return status;
    if (type == platform::kRegSz) return ReadText(services, key, value_name, size, value);
    if (type == platform::kRegDword) return ReadNumber(services, key, value_name, size, value);
    // Other types count as found and leave the value as it was.
    return 0;
}

}  // namespace

std::int32_t ReadRegistryValue(RegistryRoot root, const std::string& key_path,
                               const std::string& value_name, RegistryValue& value) {
    UserFolderServices& services = CurrentUserFolderServices();
    RegistryKey opened_key = 0;
    const std::int32_t opened = services.OpenKey(root, key_path, platform::kKeyReadValues, opened_key);
    if (opened != 0) return opened;
    OwnedKey key(opened_key, KeyCloser{&services});
    const std::int32_t status = ReadOpenKey(services, key.get(), value_name, value);
    const std::int32_t closed = key.Close();
    return status != 0 ? status : closed;
}

}  // namespace vemor
