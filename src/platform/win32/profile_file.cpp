// Profile files through the file functions, not the system's profile functions: one open per
// reading, and a write that holds the file against other writers from the comparison with the
// version read to its flush.
#include <windows.h>

#include "profile_file.h"
#include "test_hooks.h"
#include "win32/errors.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/long_path.h"
#include "win32/replace_file.h"

namespace vemor::platform {
namespace {

using test_hooks::Reached;
using test_hooks::WriteStage;
using Problem = std::optional<FileProblem>;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileProblem Changed(DWORD error = 0) { return {FileProblem::Kind::kChanged, error}; }

// Why the file could not be held for writing: another program has it open for writing, or
// without letting it be renamed or deleted, as the replace of a longer value would.
FileProblem RefusedOpen(const std::wstring& path, DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Changed(error);
    FileProblem problem = win32::ProblemFromError(error);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (problem.kind == FileProblem::Kind::kDenied && attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Changed(error);
        if (attributes & FILE_ATTRIBUTE_READONLY) problem.kind = FileProblem::Kind::kReadOnly;
    }
    return problem;
}

// The changed bytes where they stand. Should the flush fail, the old bytes go back, so that
// the file does not claim a value the disk may not hold.
EditOutcome WriteInPlace(FileReading& read, HANDLE file, const ByteEdit& edit) {
    const std::string_view bytes = read.bytes;
    const ByteEdit change = Narrowed(bytes, edit);
    if (!change.insert.empty()) {
        if (const auto error = win32::WriteAt(file, change.insert, change.offset))
            return {win32::ProblemFromError(*error)};
        Reached(WriteStage::kWrittenInPlace);
        if (!FlushFileBuffers(file)) {
            const DWORD error = GetLastError();
            win32::WriteAt(file, bytes.substr(change.offset, change.erase), change.offset);
            FlushFileBuffers(file);
            return {win32::ProblemFromError(error)};
        }
    }
    read.problem = win32::ReadFromStart(file, bytes.size(), read.bytes);
    return {std::nullopt, true};
}

// A file with other names besides keeps them only if it is rewritten where it stands; that
// is no single step, but no other program may write it meanwhile.
EditOutcome RewriteInPlace(HANDLE file, std::string_view bytes, const ByteEdit& edit) {
    const std::string tail = edit.insert + std::string(bytes.substr(edit.offset + edit.erase));
    if (const auto error = win32::WriteAt(file, tail, edit.offset)) return {win32::ProblemFromError(*error)};
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(edit.offset + tail.size());
    if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) || !FlushFileBuffers(file))
        return {win32::ProblemFromError(GetLastError())};
    return {};
}

EditOutcome WriteOtherLength(const std::string& path, win32::OwnedHandle& held, std::string_view bytes,
                             const ByteEdit& edit) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(held.get(), &info)) return {win32::ProblemFromError(GetLastError())};
    if (info.nNumberOfLinks > 1) return RewriteInPlace(held.get(), bytes, edit);
    return {win32::ReplaceHeldFile(path, held, info.dwFileAttributes, Edited(bytes, edit))};
}

}  // namespace

FileReading ReadProfileFile(const std::string& path) {
    FileReading reading{path, std::nullopt, {}};
    const HANDLE file = CreateFileW(win32::FilePath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reading.problem = win32::ProblemFromError(GetLastError());
        return reading;
    }
    const win32::OwnedHandle owner(file);
    reading.problem = win32::ReadToEnd(file, reading.bytes);
    return reading;
}

EditOutcome WriteProfileEdit(FileReading& read, const ByteEdit& edit) {
    if (read.problem && read.problem->kind == FileProblem::Kind::kMissing)
        return {win32::MakeFile(read.path, Edited(read.bytes, edit))};
    // What could not be read cannot be compared, and is not written.
    if (read.problem) return {read.problem};
    const std::wstring path = win32::FilePath(read.path);
    // No other writer, and no rename or deletion but one that shares as we do, until we are done.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {RefusedOpen(path, GetLastError())};
    win32::OwnedHandle held(file);
    if (!win32::HoldsExactly(held.get(), read.bytes)) return {Changed()};
    Reached(WriteStage::kHeld);
    if (edit.insert.size() == edit.erase) return WriteInPlace(read, held.get(), edit);
    return WriteOtherLength(read.path, held, read.bytes, edit);
}

}  // namespace vemor::platform
