#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"

// Reads and writes through a file handle, whole, with their failures as problems.
namespace vemor::platform::win32 {

// Reads from the handle's position to the end of the file into contents.
std::optional<FileProblem> ReadToEnd(HANDLE file, std::string& contents);

// The whole file from its start, for a file expected to hold about size bytes.
std::optional<FileProblem> ReadFromStart(HANDLE file, std::size_t size, std::string& contents);

// Whether the file holds exactly bytes, compared piece by piece; a file that cannot be read
// holds nothing.
bool HoldsExactly(HANDLE file, std::string_view bytes);

// Writes all of data at offset; the error code when that failed.
std::optional<DWORD> WriteAt(HANDLE file, std::string_view data, std::uint64_t offset);

}  // namespace vemor::platform::win32
