// The least a Windows program must do to scan a client-data tree, as the yardstick for the
// Windows build of vemor-patch under Wine:
//   wine_floor read ROOT    one listing of every folder (FindFirstFileExW, FindNextFileW to the
//                           end, FindClose) and one CreateFileW, ReadFile until it hands out no
//                           more bytes and CloseHandle of every user.dat and session file
//                           (sitzung.dat), in any letter case
//   wine_floor apply ROOT   the same, and every session file waiting for the patch changed in
//                           place after its read: CreateFileW for reading and writing that
//                           lets no other program write, rename or delete it, WriteFile of the
//                           one changed byte at its offset, FlushFileBuffers, CloseHandle; then
//                           the read-back by name: CreateFileW, one ReadFile of the whole file,
//                           CloseHandle
//   wine_floor read|apply ROOT READERS
//                           the same calls, READERS folders read at once (bench/overlap.h)
// ROOT is a Windows path (Z:\... under Wine). The output line is floor.cpp's. No profile
// parsing: pending sessions are told apart by the same plain substring search as there, exact
// for the generated trees. Self-contained on purpose, so that it measures the file system and
// Wine, and nothing of the program it is compared with.
//
// The listing: under Wine 8 every way a Windows program can list a folder (FindFirstFileExW
// with or without the basic information and large fetch, FindFirstFileW, a folder handle with
// GetFileInformationByHandleEx for the full or the id-and-both-names information, or
// NtQueryDirectoryFile) made the same calls on the tree and took the same time, since Wine
// looks up every entry it hands out alike. This one also asks Windows itself for the least:
// no 8.3 names, many entries to an answer. A names-only listing cannot tell a folder from a
// file, so it is no floor.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cstdlib>
#include <string>
#include <vector>

#include "overlap.h"

namespace {

struct Counts {
    long sessions = 0;
    long written = 0;
    long failed = 0;
};

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

class Find {
public:
    explicit Find(HANDLE find) : find_(find) {}
    Find(const Find&) = delete;
    Find& operator=(const Find&) = delete;
    ~Find() {
        if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    }

private:
    HANDLE find_;
};

// A path the file functions take whatever its length: a long one in its extended form.
std::wstring FilePath(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\")) return path;
    return L"\\\\?\\" + path;
}

// Reads to end of file, as any reader must to know it has the whole file: the ReadFile that
// hands out 0 bytes is part of the floor.
bool ReadToEnd(HANDLE file, std::string& contents) {
    contents.clear();
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        contents.append(buffer, got);
    }
}

// Where the flag's value starts, or npos when the session does not wait for the patch.
std::size_t PendingFlag(const std::string& text) {
    if (text.find("Identifikation=UVJYX0RfU1RBTkRBUkRfX0tG") == std::string::npos) return std::string::npos;
    const std::size_t at = text.find("Normdaten=0\r\n");
    return at == std::string::npos ? at : at + std::strlen("Normdaten=");
}

OVERLAPPED At(std::size_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(offset) >> 32);
    return at;
}

// Changes the flag of a pending session file in place, then reads the whole file back through
// a new open by its name, as the read-back must to see the file under the name; the read asks
// for one byte more than it expects, so that one call also tells the end.
bool Patch(const std::wstring& path, std::string& contents, std::size_t flag) {
    if (contents.size() >= MAXDWORD) return false;
    {
        const Handle file(CreateFileW(FilePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        if (!file.valid()) return false;
        contents[flag] = '1';
        OVERLAPPED at = At(flag);
        DWORD done = 0;
        if (!WriteFile(file.get(), &contents[flag], 1, &done, &at) || done != 1) return false;
        if (!FlushFileBuffers(file.get())) return false;
    }
    const Handle again(CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
    if (!again.valid()) return false;
    std::string back(contents.size() + 1, '\0');
    DWORD done = 0;
    if (!ReadFile(again.get(), back.data(), static_cast<DWORD>(back.size()), &done, nullptr)) return false;
    return done == contents.size() && back.compare(0, done, contents) == 0;
}

bool IsNamed(const wchar_t* name, const wchar_t* wanted) {
    return _wcsicmp(name, wanted) == 0;
}

using Files = std::vector<floors::Pending<std::wstring>>;

// Where pending is given, a file to change goes there.
void ReadOne(const std::wstring& path, bool session, bool apply, Counts& counts, Files* pending) {
    const Handle file(CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  0, nullptr));
    if (!file.valid()) return;
    std::string contents;
    if (!ReadToEnd(file.get(), contents) || !session) return;
    ++counts.sessions;
    const std::size_t flag = apply ? PendingFlag(contents) : std::string::npos;
    if (flag == std::string::npos) return;
    if (pending) {
        pending->push_back({path, contents, flag});
        return;
    }
    if (Patch(path, contents, flag)) ++counts.written;
    else ++counts.failed;
}

// False when the folder cannot be listed.
bool ScanFolder(const std::wstring& folder, bool apply, std::vector<std::wstring>& pending_folders, Counts& counts,
                Files* pending = nullptr) {
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileExW(FilePath(folder + L"*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return false;
    const Find owner(find);
    do {
        const wchar_t* name = entry.cFileName;
        // Links are not followed, as the native floor does not follow them either.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0)
                pending_folders.push_back(folder + name + L"\\");
            continue;
        }
        const bool session = IsNamed(name, L"sitzung.dat");
        if (session || IsNamed(name, L"user.dat")) ReadOne(folder + name, session, apply, counts, pending);
    } while (FindNextFileW(find, &entry));
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if ((argc != 3 && argc != 4) || (std::wcscmp(argv[1], L"read") != 0 && std::wcscmp(argv[1], L"apply") != 0)) {
        std::fprintf(stderr, "usage: wine_floor read|apply ROOT [READERS]\n");
        return 2;
    }
    const bool apply = std::wcscmp(argv[1], L"apply") == 0;
    std::wstring root = argv[2];
    if (!root.ends_with(L'\\')) root += L'\\';
    std::vector<std::wstring> folders;
    Counts counts;
    // A root that cannot be listed would pass for an empty tree and make any count look cheap.
    if (!ScanFolder(root, apply, folders, counts)) {
        std::fprintf(stderr, "wine_floor: %ls: cannot be listed (Windows error %lu)\n", argv[2], GetLastError());
        return 3;
    }
    if (argc == 4) {
        floors::Overlapped<std::wstring>(
            std::move(folders), std::wcstoul(argv[3], nullptr, 10),
            [&](const std::wstring& folder, std::vector<std::wstring>& found, Files& files) {
                Counts read;
                ScanFolder(folder, apply, found, read, &files);
                return read.sessions;
            },
            [](floors::Pending<std::wstring>& file) { return Patch(file.path, file.contents, file.flag); }, counts);
        folders.clear();
    }
    while (!folders.empty()) {
        const std::wstring folder = std::move(folders.back());
        folders.pop_back();
        ScanFolder(folder, apply, folders, counts);
    }
    std::printf("%ld sessions, %ld written, %ld failed\n", counts.sessions, counts.written, counts.failed);
    return counts.failed == 0 ? 0 : 1;
}
