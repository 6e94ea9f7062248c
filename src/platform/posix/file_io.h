#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"

// Reads and writes through a descriptor, whole, with their failures as problems.
namespace vemor::platform::posix {

// Reads from the descriptor's position to the end of the file into contents. Not a regular
// file, a device that never ends for one, is refused once it runs past a small file's size.
std::optional<FileProblem> ReadToEnd(int fd, std::string& contents);

// The whole file from its start, through pread, for a file expected to hold about size bytes.
std::optional<FileProblem> ReadFromStart(int fd, std::size_t size, std::string& contents);

// Whether the file holds exactly bytes, compared piece by piece so that a large file is
// never held twice; a file that cannot be read holds nothing.
bool HoldsExactly(int fd, std::string_view bytes);

// Writes all of data at offset; the error number when that failed.
std::optional<int> WriteAt(int fd, std::string_view data, off_t offset);

// Writes all of data at offset and has it on disk when it returns, as a write followed by
// fdatasync would; the error number when either failed.
std::optional<int> WriteDurablyAt(int fd, std::string_view data, off_t offset);

}  // namespace vemor::platform::posix
