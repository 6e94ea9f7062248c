#include "support/fake_registry.h"

#include <cstring>
#include <filesystem>
#include <new>

namespace vemor::test {
namespace {

using platform::kErrorAccessDenied;
using platform::kErrorFileNotFound;
using platform::kErrorInvalidHandle;
using platform::kErrorMoreData;

}  // namespace

FakeRegistry::FakeRegistry() { SetUserFolderServices(this); }
FakeRegistry::~FakeRegistry() { SetUserFolderServices(nullptr); }

std::string FakeRegistry::Text(std::string_view utf8, bool with_nul) {
#ifdef _WIN32
    const std::wstring text = std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
#else
    const std::string text(utf8);
#endif
    const auto* bytes = reinterpret_cast<const char*>(text.c_str());
    return std::string(bytes, (text.size() + (with_nul ? 1 : 0)) * sizeof(platform::RegistryChar));
}

std::string FakeRegistry::Number(std::int32_t number) {
    return std::string(reinterpret_cast<const char*>(&number), sizeof number);
}

std::int32_t FakeRegistry::OpenKey(RegistryRoot root, const std::string& key_path,
                                   std::uint32_t access, platform::RegistryKey& key) {
    opened.push_back(key_path);
    if (root != kHkeyCurrentUser) return kErrorInvalidHandle;
    if (access != platform::kKeyReadValues) return kErrorAccessDenied;
    if (!keys.contains(key_path)) return kErrorFileNotFound;
    key = next_handle_++;
    handles_[key] = key_path;
    open_keys.insert(key);
    return 0;
}

std::int32_t FakeRegistry::QueryValue(platform::RegistryKey key, const std::string& value_name,
                                      std::uint32_t& type, void* data, std::uint32_t& size) {
    if (!open_keys.contains(key)) return kErrorInvalidHandle;
    if (throw_on_query) throw std::bad_alloc();
    const auto& values = keys.at(handles_.at(key));
    const auto found = values.find(value_name);
    if (found == values.end()) return kErrorFileNotFound;
    const Value& value = found->second;
    const std::string& bytes = data != nullptr && value.bytes_read ? *value.bytes_read : value.bytes;
    type = value.type;
    if (data != nullptr && size < bytes.size()) {
        size = static_cast<std::uint32_t>(bytes.size());
        return kErrorMoreData;
    }
    if (data != nullptr) std::memcpy(data, bytes.data(), bytes.size());
    size = static_cast<std::uint32_t>(bytes.size());
    return 0;
}

std::int32_t FakeRegistry::CloseKey(platform::RegistryKey key) {
    if (open_keys.erase(key) == 0) return kErrorInvalidHandle;
    return close_status;
}

}  // namespace vemor::test
