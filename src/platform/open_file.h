#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"
#include "owned.h"

// One open file, and all the profile engine asks of the system about it. Each backend answers
// with its own calls; what to do with the answers is decided once, above it (profile_file.cpp).
namespace vemor::platform {

// Which file a handle leads to, whatever name led there.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What an open file tells of itself.
struct FileFacts {
    std::uint64_t size = 0;
    bool regular = false;  // bytes on a disk: no folder, device, pipe or socket
    bool unnamed = false;  // no name leads to it any more: deleted, or renamed over
    // Only where asked for, as each can cost a call of its own:
    std::optional<FileIdentity> identity;
    bool read_only = false;  // the read-only attribute, or no write permission for its owner
};

struct FactsAsked {
    bool identity = false;
    bool protection = false;  // whether it is write-protected
};

class OpenFile {
public:
    using Problem = std::optional<FileProblem>;
#ifdef _WIN32
    using Native = void*;  // HANDLE
    // INVALID_HANDLE_VALUE, what CreateFileW and ReOpenFile fail with.
    struct Invalid {
        static Native value() { return reinterpret_cast<Native>(static_cast<std::intptr_t>(-1)); }
    };
#else
    using Native = int;
    using Invalid = InvalidIs<-1>;
#endif
    struct Closer {
        int operator()(Native handle) const;
    };
    // Whether a file deleted while open keeps its name until its last handle closes: a name
    // opened again then still leads to the file on its way out.
#ifdef _WIN32
    static constexpr bool kRemovalWaitsForClose = true;
#else
    static constexpr bool kRemovalWaitsForClose = false;
#endif

    OpenFile() = default;
    explicit operator bool() const { return static_cast<bool>(handle_); }

    // path opened for reading, following links and without waiting on a pipe. Where names
    // regard letter case and nothing is stored under path, the file stored under another
    // spelling of its name; opened gets the path as opened.
    static OpenFile ForReading(const std::string& path, std::string& opened, FileProblem& problem);

    // This file opened once more, for reading and writing, and held against other writers until
    // the new one closes: no other program may open it for writing, rename or delete it
    // (Windows), or it carries both an open-file lock and an flock (POSIX, where the file system
    // keeps locks).
    // Nothing, with why, when another program holds it or it may not be written. path is the
    // name it was opened by, used only where the system cannot open a file by its handle.
    OpenFile Reopened(const std::string& path, FileProblem& problem) const;

    // This file opened once more, without taking or waiting for a lock: for reading, or for
    // reading and writing where the system lets a second writer beside the one held
    // (kSecondWriter). Some file systems answer only a handle's first request right (a FAT
    // volume through FUSE writes where the handle last read); a fresh handle is a fresh start.
    OpenFile Again(const std::string& path, bool writable, FileProblem& problem) const;
#ifdef _WIN32
    static constexpr bool kSecondWriter = false;  // the held file shares reading only
#else
    static constexpr bool kSecondWriter = true;
#endif

    // A record file of ours at path, held as the write that made it holds it: nothing while
    // another run holds it (kLocked) or it has no name any more.
    static OpenFile HeldRecord(const std::string& path, FileProblem& problem);
    // Held against another run's HeldRecord until this one closes: for a record just made.
    Problem Hold() const;
    // Removes the file, which path names: where the system can, by the handle itself; else
    // by the name, as long as that still leads to this file.
    Problem Remove(const std::string& path) const;

    // A file that is not there yet, made at path when Publish() is called and not before: a
    // process that ends earlier leaves nothing behind.
    static OpenFile Unpublished(const std::string& path, FileProblem& problem);
    Problem Publish(const std::string& path);

    Problem Facts(FileFacts& facts, FactsAsked asked = {}) const;

    // Some bytes at offset: got is 0 only at the end of the file.
    Problem ReadSome(std::uint64_t offset, char* buffer, std::size_t room, std::size_t& got) const;
    // Some of data at offset, durably (on disk when this returns) where asked.
    Problem WriteSome(std::uint64_t offset, std::string_view data, bool durably, std::size_t& written) const;
    // Room on the disk for the file to grow from size to grown bytes, its bytes and size
    // unchanged, and for rewritten bytes of it to be written again where a file system writes
    // them to new room (copy on write); nothing where the file system cannot set room aside or
    // tell it, so that the write itself finds out.
    Problem Reserve(std::uint64_t size, std::uint64_t grown, std::uint64_t rewritten) const;
    Problem Cut(std::uint64_t size) const;
    Problem Flush() const;

private:
    explicit OpenFile(Native handle) : handle_(handle) {}

    Owned<Native, Closer, Invalid> handle_;
};

}  // namespace vemor::platform
