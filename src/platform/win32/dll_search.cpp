#include <windows.h>

#include "dll_search.h"

namespace vemor::platform {

void RestrictDllSearch() {
    // Windows 7 has SetDefaultDllDirectories only with its update KB2533623, so it is looked
    // up rather than imported, which would keep the program from starting without it.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    if (const HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        if (const FARPROC found = GetProcAddress(kernel, "SetDefaultDllDirectories")) {
            // Through the generic function type, which the compiler lets be cast to any other.
            const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
                reinterpret_cast<void (*)()>(found));
            set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
        }
    }
    // Takes the current folder out of the search, also where the call above is missing.
    SetDllDirectoryW(L"");
}

}  // namespace vemor::platform
