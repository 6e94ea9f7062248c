#pragma once

#include <windows.h>

#include "owned.h"

// Owners of the kernel handles the backend opens.
namespace vemor::platform::win32 {

using OwnedHandle = Owned<HANDLE, CallTo<&CloseHandle>>;  // files, folders, processes, threads
using OwnedFind = Owned<HANDLE, CallTo<&FindClose>>;

}  // namespace vemor::platform::win32
