#include "win32/replace_file.h"

#include <windows.h>

#include <cstdio>

#include "test_hooks.h"
#include "win32/errors.h"
#include "win32/file_io.h"
#include "win32/long_path.h"

namespace vemor::platform::win32 {
namespace {

using test_hooks::Reached;
using test_hooks::WriteStage;
using Problem = std::optional<FileProblem>;

// A name beside path that nothing else uses: path's own, with an ending of this process's.
std::string NameBeside(const std::string& path) {
    static unsigned counter = 0;
    char ending[32];
    std::snprintf(ending, sizeof ending, ".patch-%lx-%x", GetCurrentProcessId(), ++counter);
    return path + ending;
}

bool MarkForDeletion(HANDLE file, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// The copy, with a name and marked for deletion: gone with its handle, however the process
// ends, until the mark is taken off.
struct Copy {
    std::string name;
    OwnedHandle handle;
};

Copy NewCopy(const std::string& path, Problem& problem) {
    for (int tried = 0; tried < 100; ++tried) {
        std::string name = NameBeside(path);
        const HANDLE created = CreateFileW(FilePath(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            problem = ProblemFromError(GetLastError());
            return {};
        }
        Copy copy{std::move(name), OwnedHandle(created)};
        if (!MarkForDeletion(created, true)) {
            problem = ProblemFromError(GetLastError());
            copy.handle.Close();
            DeleteFileW(FilePath(copy.name).c_str());
            return {};
        }
        return copy;
    }
    problem = ProblemFromError(ERROR_FILE_EXISTS);
    return {};
}

// Written, with the attributes given, and flushed; the mark for deletion stays on.
Problem Fill(Copy& copy, std::string_view contents, DWORD attributes) {
    if (const auto error = WriteAt(copy.handle.get(), contents, 0)) return ProblemFromError(*error);
    FILE_BASIC_INFO basic{};  // times of zero stay as they are
    basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(copy.handle.get(), FileBasicInfo, &basic, sizeof basic))
        return ProblemFromError(GetLastError());
    Reached(WriteStage::kTemporaryWritten);
    if (!FlushFileBuffers(copy.handle.get())) return ProblemFromError(GetLastError());
    Reached(WriteStage::kTemporaryFlushed);
    return std::nullopt;
}

// The mark comes off just before the copy is put in place, and the copy's handle closes: the
// replace opens the copy for itself alone.
Problem Release(Copy& copy) {
    if (!MarkForDeletion(copy.handle.get(), false)) return ProblemFromError(GetLastError());
    copy.handle.Close();
    return std::nullopt;
}

// Where the system's replace refuses the file system, a rename over the file.
Problem MoveOver(const std::wstring& from, const std::wstring& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ProblemFromError(GetLastError());
    return std::nullopt;
}

bool Unsupported(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// A replace that a handle of ours keeps from the file is tried once more without it.
bool HeldBack(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_ACCESS_DENIED;
}

Problem PutInPlace(const std::wstring& copy, const std::wstring& file, OwnedHandle& held) {
    for (;;) {
        if (ReplaceFileW(file.c_str(), copy.c_str(), nullptr, 0, nullptr, nullptr)) return std::nullopt;
        const DWORD error = GetLastError();
        if (HeldBack(error) && held) {
            held.Close();
            continue;
        }
        // The file is gone and the copy is not in its place: it goes there now.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || Unsupported(error)) return MoveOver(copy, file);
        return ProblemFromError(error);
    }
}

}  // namespace

Problem ReplaceHeldFile(const std::string& path, OwnedHandle& held, DWORD attributes, std::string_view contents) {
    Problem problem;
    Copy copy = NewCopy(path, problem);
    if (!copy.handle) return problem;
    Reached(WriteStage::kTemporaryCreated);
    if ((problem = Fill(copy, contents, attributes)) || (problem = Release(copy))) return problem;
    const std::wstring copy_path = FilePath(copy.name);
    problem = PutInPlace(copy_path, FilePath(path), held);
    if (problem) {
        DeleteFileW(copy_path.c_str());
        return problem;
    }
    Reached(WriteStage::kReplaced);
    return std::nullopt;
}

Problem MakeFile(const std::string& path, std::string_view contents) {
    Problem problem;
    Copy copy = NewCopy(path, problem);
    if (!copy.handle) return problem;
    if ((problem = Fill(copy, contents, FILE_ATTRIBUTE_NORMAL)) || (problem = Release(copy))) return problem;
    const std::wstring copy_path = FilePath(copy.name);
    if (MoveFileExW(copy_path.c_str(), FilePath(path).c_str(), MOVEFILE_WRITE_THROUGH)) return std::nullopt;
    const DWORD error = GetLastError();
    DeleteFileW(copy_path.c_str());
    // Something was made under the name since it was found missing.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return FileProblem{FileProblem::Kind::kChanged, error};
    return ProblemFromError(error);
}

}  // namespace vemor::platform::win32
