#include <windows.h>

#include <string>

#include "program_folder.h"
#include "utf16.h"

namespace vemor::platform {

std::string ProgramFolder() {
    // Long paths need more than MAX_PATH; a full buffer means the name was cut.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 0x10000) return {};
        path.resize(path.size() * 2);
    }
    const std::size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) return {};
    // A drive root keeps its separator: the folder of C:\x.exe is C:\.
    const bool root = last == 0 || path[last - 1] == L':';
    return Utf8(std::wstring_view(path).substr(0, root ? last + 1 : last));
}

}  // namespace vemor::platform
