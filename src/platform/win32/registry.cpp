#include <windows.h>

#include "registry.h"
#include "utf16.h"

namespace vemor::platform {
namespace {

// The predefined roots are 32-bit values that 64-bit Windows sign-extends into a handle.
HKEY RootHandle(RegistryRoot root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

}  // namespace

std::int32_t OpenRegistryKey(RegistryRoot root, const std::string& key_path,
                             std::uint32_t access, RegistryKey& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(RootHandle(root), Utf16(key_path).c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS) key = reinterpret_cast<RegistryKey>(opened);
    return status;
}

std::int32_t QueryRegistryValue(RegistryKey key, const std::string& value_name,
                                std::uint32_t& type, void* data, std::uint32_t& size) {
    DWORD found_type = 0;
    DWORD bytes = size;
    const LONG status = RegQueryValueExW(reinterpret_cast<HKEY>(key), Utf16(value_name).c_str(),
                                         nullptr, &found_type, static_cast<BYTE*>(data), &bytes);
    type = found_type;
    size = bytes;
    return status;
}

std::int32_t CloseRegistryKey(RegistryKey key) { return RegCloseKey(reinterpret_cast<HKEY>(key)); }

std::string RegistryText(std::wstring_view data) { return Utf8(data); }

}  // namespace vemor::platform
