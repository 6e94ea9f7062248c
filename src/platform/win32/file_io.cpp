#include "win32/file_io.h"

#include <algorithm>

#include "win32/errors.h"

namespace vemor::platform::win32 {
namespace {

// Profile files are a few kilobytes: one read takes a whole one, the next finds the end.
constexpr std::size_t kChunk = 64 * 1024;
// Large files are compared in pieces of this size.
constexpr std::size_t kPiece = 1024 * 1024;

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Reads at offset, or from the handle's position without one. End of file reads nothing.
bool ReadSome(HANDLE file, char* buffer, std::size_t room, std::optional<std::uint64_t> offset, std::size_t& got) {
    DWORD read = 0;
    OVERLAPPED at = At(offset.value_or(0));
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(room, 1u << 30));
    if (!ReadFile(file, buffer, size, &read, offset ? &at : nullptr)) {
        got = 0;
        return GetLastError() == ERROR_HANDLE_EOF;
    }
    got = read;
    return true;
}

}  // namespace

std::optional<FileProblem> ReadToEnd(HANDLE file, std::string& contents) {
    static thread_local char chunk[kChunk];
    bool sized = false;
    for (;;) {
        if (!sized && contents.size() >= kChunk) {
            LARGE_INTEGER size{};
            if (GetFileSizeEx(file, &size)) contents.reserve(static_cast<std::size_t>(size.QuadPart) + kChunk);
            sized = true;
        }
        const std::size_t used = contents.size();
        const bool into_contents = sized && contents.capacity() > used;
        if (into_contents) contents.resize(contents.capacity());
        char* const buffer = into_contents ? contents.data() + used : chunk;
        std::size_t got = 0;
        if (!ReadSome(file, buffer, into_contents ? contents.size() - used : kChunk, std::nullopt, got)) {
            const DWORD error = GetLastError();
            contents.resize(used);
            return ProblemFromError(error);
        }
        if (into_contents) contents.resize(used + got);
        else contents.append(chunk, got);
        if (got == 0) return std::nullopt;
        if (contents.size() == contents.capacity()) contents.reserve(contents.size() * 2);
    }
}

// One call for a file of the size expected: a file reads short only at its end.
std::optional<FileProblem> ReadFromStart(HANDLE file, std::size_t size, std::string& contents) {
    contents.assign(size + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        std::size_t got = 0;
        if (!ReadSome(file, contents.data() + used, contents.size() - used, used, got)) {
            const DWORD error = GetLastError();
            contents.clear();
            return ProblemFromError(error);
        }
        used += got;
        if (used < contents.size()) break;
        contents.resize(contents.size() * 2);
    }
    contents.resize(used);
    return std::nullopt;
}

bool HoldsExactly(HANDLE file, std::string_view bytes) {
    std::string piece(std::min(bytes.size() + 1, kPiece), '\0');
    std::size_t compared = 0;
    for (;;) {
        std::size_t got = 0;
        if (!ReadSome(file, piece.data(), piece.size(), compared, got)) return false;
        if (bytes.substr(compared, got) != std::string_view(piece.data(), got)) return false;
        compared += got;
        // Short of the piece: the end of the file.
        if (got < piece.size()) return compared == bytes.size();
    }
}

std::optional<DWORD> WriteAt(HANDLE file, std::string_view data, std::uint64_t offset) {
    while (!data.empty()) {
        DWORD written = 0;
        OVERLAPPED at = At(offset);
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        if (!WriteFile(file, data.data(), size, &written, &at)) return GetLastError();
        if (written == 0) return static_cast<DWORD>(ERROR_WRITE_FAULT);
        data.remove_prefix(written);
        offset += written;
    }
    return std::nullopt;
}

}  // namespace vemor::platform::win32
