#pragma once

#include <windows.h>

#include "owned.h"

// Owners of the kernel handles the backend opens. Windows has two empty values, and each kind
// of handle its own: CreateFileW and FindFirstFileW fail with INVALID_HANDLE_VALUE, which as a
// handle is the process itself, so it must never pass for an open file.
namespace vemor::platform::win32 {

struct InvalidHandleValue {
    static HANDLE value() { return INVALID_HANDLE_VALUE; }
};

using OwnedFile = Owned<HANDLE, CallTo<&CloseHandle>, InvalidHandleValue>;  // files and folders
using OwnedHandle = Owned<HANDLE, CallTo<&CloseHandle>>;                     // processes, threads: null
using OwnedFind = Owned<HANDLE, CallTo<&FindClose>, InvalidHandleValue>;

}  // namespace vemor::platform::win32
