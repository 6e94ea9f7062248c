#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"
#include "open_file.h"
#include "recovery_record.h"
#include "test_hooks.h"

// Writing into a held file, and putting back what a write changed: the same for a write that
// fails and for a later run that finds its record.
namespace vemor::platform {

// All of data at offset, in as many writes as the system takes.
std::optional<FileProblem> WriteWhole(const OpenFile& file, std::uint64_t offset, std::string_view data, bool durably);

// The same for the write of a session file, which a test may cut short (test_hooks::cut_write).
std::optional<FileProblem> WriteAll(const OpenFile& file, std::uint64_t offset, std::string_view data, bool durably,
                                    test_hooks::WriteCall call);

// The file under the record's path opened anew and read: how it stands against the record, or
// why it could not be read; kChanged where the name leads to another file.
std::optional<FileProblem> ReadAnew(const RecoveryRecord& record, LeftState& state);

// The record's original bytes written back into held, the file cut to its old size and
// flushed, then read anew by its name: nothing only when the file there is held and reads
// exactly as before the write.
std::optional<FileProblem> PutBack(const OpenFile& held, const RecoveryRecord& record);

}  // namespace vemor::platform
