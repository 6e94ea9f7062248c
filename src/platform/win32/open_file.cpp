// An open file through the Windows file functions.
#include <windows.h>
#include <winternl.h>

#include <algorithm>

#include "open_file.h"
#include "win32/errors.h"
#include "win32/long_path.h"

namespace vemor::platform {
namespace {

using Problem = OpenFile::Problem;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A call moves at most this much, whatever it is asked: a DWORD counts the bytes.
constexpr std::size_t kLargestCall = std::size_t{1} << 30;

FileProblem Failed(DWORD error) { return win32::ProblemFromError(error); }

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

bool Unsupported(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

std::optional<FileIdentity> IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Why the file, open for reading as file, could not be opened for writing: another program
// has it open for writing or without letting it be deleted, it is write-protected, or it has
// been deleted since it was read and is gone once our handle closes.
FileProblem RefusedWrite(HANDLE file, DWORD error) {
    FileProblem problem = Failed(error);
    if (problem.kind != FileProblem::Kind::kDenied) return problem;
    FILE_STANDARD_INFO standard{};
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) && standard.DeletePending)
        problem.kind = FileProblem::Kind::kChanged;
    else if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
             (basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        problem.kind = FileProblem::Kind::kReadOnly;
    return problem;
}

bool MarkForDeletion(HANDLE file, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace

int OpenFile::Closer::operator()(void* handle) const { return CloseHandle(handle); }

OpenFile OpenFile::ForReading(const std::string& path, std::string& opened, FileProblem& problem) {
    opened = path;
    const HANDLE file = CreateFileW(win32::FilePath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = Failed(GetLastError());
        return {};
    }
    return OpenFile(file);
}

namespace {

// The file behind handle opened anew: by its handle, or by its name where the file system
// cannot open a file by its handle, as long as that still leads to it (else changed is set).
HANDLE OpenAnew(HANDLE handle, const std::string& path, DWORD access, DWORD sharing, DWORD& error, bool& changed) {
    HANDLE file = ReOpenFile(handle, access, sharing, 0);
    error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (file != INVALID_HANDLE_VALUE || !Unsupported(error)) return file;
    file = CreateFileW(win32::FilePath(path).c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = GetLastError();
    changed = file != INVALID_HANDLE_VALUE && IdentityOf(file) != IdentityOf(handle);
    if (!changed) return file;
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

// Sharing nothing but reading: no other program may write, rename or delete the file while
// the new handle lives, and one that has it open for writing keeps us out.
OpenFile OpenFile::Reopened(const std::string& path, FileProblem& problem) const {
    DWORD error = 0;
    bool changed = false;
    const HANDLE file = OpenAnew(handle_.get(), path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, error, changed);
    if (file != INVALID_HANDLE_VALUE) return OpenFile(file);
    problem = changed ? FileProblem{FileProblem::Kind::kChanged} : RefusedWrite(handle_.get(), error);
    return {};
}

OpenFile OpenFile::Again(const std::string& path, bool writable, FileProblem& problem) const {
    DWORD error = 0;
    bool changed = false;
    const DWORD access = writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    const HANDLE file = OpenAnew(handle_.get(), path, access, kShareAll, error, changed);
    if (file != INVALID_HANDLE_VALUE) return OpenFile(file);
    problem = changed ? FileProblem{FileProblem::Kind::kChanged} : Failed(error);
    return {};
}

// Sharing reading only, as the run that made it does: a record another run holds, or one
// still marked for deletion, opens for neither.
OpenFile OpenFile::HeldRecord(const std::string& path, FileProblem& problem) {
    const HANDLE file = CreateFileW(win32::FilePath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = Failed(GetLastError());
        return {};
    }
    return OpenFile(file);
}

// A record is made sharing reading only, which holds it already.
Problem OpenFile::Hold() const { return std::nullopt; }

// Gone once its last handle closes, whatever its name leads to by then.
Problem OpenFile::Remove(const std::string&) const {
    if (!MarkForDeletion(handle_.get(), true)) return Failed(GetLastError());
    return std::nullopt;
}

// The file stands under its name from the start, marked for deletion until it is published,
// so that it is gone with its handle however the process ends.
OpenFile OpenFile::Unpublished(const std::string& path, FileProblem& problem) {
    const std::wstring name = win32::FilePath(path);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Something was made under the name since it was found missing.
        const bool appeared = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        problem = appeared ? FileProblem{FileProblem::Kind::kChanged, error} : Failed(error);
        return {};
    }
    OpenFile made(file);
    if (!MarkForDeletion(file, true)) {
        problem = Failed(GetLastError());
        made.handle_.Close();
        DeleteFileW(name.c_str());
        return {};
    }
    return made;
}

Problem OpenFile::Publish(const std::string&) {
    if (!MarkForDeletion(handle_.get(), false)) return Failed(GetLastError());
    return std::nullopt;
}

// Which file it is: its number on its volume, which the system tells without a look at the
// volume itself, a round trip of its own on a share. The type, a look of its own, is asked only
// of an empty file, as devices and pipes tell no size.
Problem OpenFile::Facts(FileFacts& facts, FactsAsked asked) const {
    const HANDLE file = handle_.get();
    facts = {};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return Failed(GetLastError());
    facts.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    facts.regular = !standard.Directory && (facts.size > 0 || GetFileType(file) == FILE_TYPE_DISK);
    facts.unnamed = standard.DeletePending || standard.NumberOfLinks == 0;
    if (asked.identity) {
        IO_STATUS_BLOCK status{};
        FILE_INTERNAL_INFORMATION internal{};
        const NTSTATUS queried = NtQueryInformationFile(file, &status, &internal, sizeof internal, FileInternalInformation);
        if (queried != 0) return Failed(RtlNtStatusToDosError(queried));
        facts.identity = FileIdentity{0, static_cast<std::uint64_t>(internal.IndexNumber.QuadPart)};
    }
    FILE_BASIC_INFO basic{};
    if (asked.protection && !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return Failed(GetLastError());
    facts.read_only = (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return std::nullopt;
}

Problem OpenFile::ReadSome(std::uint64_t offset, char* buffer, std::size_t room, std::size_t& got) const {
    DWORD read = 0;
    OVERLAPPED at = At(offset);
    const auto size = static_cast<DWORD>(std::min(room, kLargestCall));
    got = 0;
    if (!ReadFile(handle_.get(), buffer, size, &read, &at)) {
        const DWORD error = GetLastError();
        return error == ERROR_HANDLE_EOF ? std::nullopt : Problem(Failed(error));
    }
    got = read;
    return std::nullopt;
}

Problem OpenFile::WriteSome(std::uint64_t offset, std::string_view data, bool durably, std::size_t& written) const {
    DWORD done = 0;
    OVERLAPPED at = At(offset);
    const auto size = static_cast<DWORD>(std::min(data.size(), kLargestCall));
    written = 0;
    if (!WriteFile(handle_.get(), data.data(), size, &done, &at)) return Failed(GetLastError());
    written = done;
    if (done == 0 && size != 0) return Failed(ERROR_WRITE_FAULT);
    return durably ? Flush() : std::nullopt;
}

// NTFS writes a file's bytes again where they stand.
Problem OpenFile::Reserve(std::uint64_t size, std::uint64_t grown, std::uint64_t) const {
    if (grown <= size) return std::nullopt;
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(grown);
    if (SetFileInformationByHandle(handle_.get(), FileAllocationInfo, &allocation, sizeof allocation))
        return std::nullopt;
    const DWORD error = GetLastError();
    return Unsupported(error) ? std::nullopt : Problem(Failed(error));
}

Problem OpenFile::Cut(std::uint64_t size) const {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(handle_.get(), FileEndOfFileInfo, &end, sizeof end)) return Failed(GetLastError());
    return std::nullopt;
}

Problem OpenFile::Flush() const {
    if (!FlushFileBuffers(handle_.get())) return Failed(GetLastError());
    return std::nullopt;
}

}  // namespace vemor::platform
