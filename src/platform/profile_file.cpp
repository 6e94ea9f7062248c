// How a profile file is read and edited, decided once for every system: what is checked, in
// which order, how the edit is written and how a failed one is undone. The backends only
// answer the calls of open_file.h.
//
// An edit is written where the file stands, whatever its length, as Windows' own profile
// writer does. The file stays the one file every other program has open: one that takes a
// lock before it writes waits for ours and then finds the edit, where a copy put in the file's
// place would have taken its change away with the old file. Its identity, other names, owner,
// permissions, ACL, attributes and the spelling of its name stay as they are, since nothing
// else is made or renamed; and no name is looked up again, so no link set meanwhile can lead
// the write elsewhere.
#include "profile_file.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "test_hooks.h"

namespace vemor::platform {
namespace {

using test_hooks::Reached;
using test_hooks::WriteStage;
using Problem = OpenFile::Problem;

// Large files are compared in pieces of this size, so that they are never held twice, and a
// rewrite this short goes to the disk in one call.
constexpr std::size_t kPiece = 1024 * 1024;

FileProblem Changed() { return {FileProblem::Kind::kChanged}; }

// size bytes from the start, or fewer where the file ends sooner. Never more: a file that grows
// while it is read is read as it was when its size was asked, and a device never ends.
Problem ReadWhole(const OpenFile& file, std::uint64_t size, std::string& bytes) {
    try {
        if (size > bytes.max_size()) throw std::length_error("larger than memory");
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::exception&) {  // bad_alloc or length_error
        return FileProblem{FileProblem::Kind::kNoMemory};
    }
    std::size_t used = 0;
    while (used < bytes.size()) {
        std::size_t got = 0;
        if (Problem problem = file.ReadSome(used, bytes.data() + used, bytes.size() - used, got)) return problem;
        if (got == 0) break;
        used += got;
    }
    bytes.resize(used);
    return std::nullopt;
}

bool HoldsExactly(const OpenFile& file, std::string_view bytes) {
    std::string piece(std::min(bytes.size() + 1, kPiece), '\0');
    for (std::size_t compared = 0;;) {
        std::size_t got = 0;
        if (file.ReadSome(compared, piece.data(), piece.size(), got)) return false;
        if (bytes.substr(compared, got) != std::string_view(piece.data(), got)) return false;
        compared += got;
        if (got == 0) return compared == bytes.size();
        // Short of the piece just at the size read: the end, as a file on a disk reads.
        if (got < piece.size() && compared == bytes.size()) return true;
    }
}

Problem WriteAll(const OpenFile& file, std::uint64_t offset, std::string_view data, bool durably) {
    while (!data.empty()) {
        std::size_t written = 0;
        if (Problem problem = file.WriteSome(offset, data, durably, written)) return problem;
        data.remove_prefix(written);
        offset += written;
    }
    return std::nullopt;
}

// The bytes from offset on as read, at the size read, flushed: what a failed write leaves.
void Restore(const OpenFile& file, std::string_view bytes, std::size_t offset, std::size_t end) {
    WriteAll(file, offset, bytes.substr(offset, end - offset), false);
    file.Cut(bytes.size());
    file.Flush();
}

// The edited bytes from the edit's offset to the end of the file: one call where they are
// few, so that a kill cannot part them.
Problem WriteTail(const OpenFile& file, const ByteEdit& edit, std::string_view rest) {
    if (rest.size() <= kPiece) return WriteAll(file, edit.offset, edit.insert + std::string(rest), false);
    if (Problem problem = WriteAll(file, edit.offset, edit.insert, false)) return problem;
    return WriteAll(file, edit.offset + edit.insert.size(), rest, false);
}

// The same length: just the changed bytes, flushed along with the write. Another length: room
// for the new size first, so that a full disk refuses before anything changes; then the bytes
// from the edit to the end, the file cut to its new size and flushed. Whatever fails on the
// way, the bytes as read go back.
Problem Rewrite(const OpenFile& file, std::string_view bytes, const ByteEdit& edit) {
    const std::size_t size = bytes.size();
    const std::size_t edited = size - edit.erase + edit.insert.size();
    if (edited == size) {
        Problem problem = WriteAll(file, edit.offset, edit.insert, true);
        if (problem) Restore(file, bytes, edit.offset, edit.offset + edit.erase);
        else if (!edit.insert.empty()) Reached(WriteStage::kWrittenInPlace);
        return problem;
    }
    if (Problem problem = file.Reserve(size, edited)) return problem;
    Problem problem = WriteTail(file, edit, bytes.substr(edit.offset + edit.erase));
    if (!problem) Reached(WriteStage::kWrittenInPlace);
    if (!problem && edited < size && !(problem = file.Cut(edited))) Reached(WriteStage::kCut);
    if (!problem) problem = file.Flush();
    if (problem) Restore(file, bytes, edit.offset, size);
    return problem;
}

// A file that was missing when read: made whole, or not at all.
EditOutcome MakeFile(const std::string& path, const std::string& contents) {
    FileProblem refused{FileProblem::Kind::kOther};
    OpenFile made = OpenFile::Unpublished(path, refused);
    if (!made) return {refused};
    Problem problem = WriteAll(made, 0, contents, false);
    if (!problem) problem = made.Flush();
    if (!problem) problem = made.Publish(path);
    if (problem) return {problem};
    FileFacts facts;
    made.Facts(facts, {.identity = true});
    return {std::nullopt, facts.identity};
}

}  // namespace

FileReading ReadProfileFile(const std::string& path, bool identify,
                            const std::function<bool(std::uint64_t size)>& read_now) {
    test_hooks::Reading(path);
    FileReading reading;
    FileProblem refused{FileProblem::Kind::kOther};
    reading.file = OpenFile::ForReading(path, reading.path, refused);
    if (!reading.file) {
        reading.problem = refused;
        return reading;
    }
    FileFacts facts;
    reading.problem = reading.file.Facts(facts, {.identity = identify});
    if (!reading.problem && !facts.regular) reading.problem = FileProblem{FileProblem::Kind::kNotAFile};
    reading.identity = facts.identity;
    if (reading.problem) {
        reading.file = {};
        return reading;
    }
    reading.unread = facts.size;
    if (!read_now || read_now(facts.size)) ReadRest(reading);
    return reading;
}

void ReadRest(FileReading& reading) {
    if (!reading.unread) return;
    reading.problem = ReadWhole(reading.file, *std::exchange(reading.unread, std::nullopt), reading.bytes);
    if (reading.problem) reading.file = {};
}

EditOutcome WriteProfileEdit(const FileReading& read, const ByteEdit& edit) {
    if (read.problem && read.problem->kind == FileProblem::Kind::kMissing)
        return MakeFile(read.path, Edited(read.bytes, edit));
    // What could not be read cannot be compared, and is not written.
    if (read.problem) return {read.problem};
    Reached(WriteStage::kBegun);
    FileProblem refused{FileProblem::Kind::kOther};
    EditOutcome outcome{std::nullopt, std::nullopt, read.file.Reopened(read.path, refused)};
    const OpenFile& held = outcome.held;
    FileFacts facts;
    if (!held) outcome.problem = refused;
    else outcome.problem = held.Facts(facts, {.identity = true, .protection = true});
    // Write-protected, also for an administrator or root, whom the system would let write.
    if (!outcome.problem && facts.read_only) outcome.problem = FileProblem{FileProblem::Kind::kReadOnly};
    if (!outcome.problem && (facts.unnamed || !HoldsExactly(held, read.bytes))) outcome.problem = Changed();
    if (outcome.problem) return outcome;
    Reached(WriteStage::kHeld);
    outcome.problem = Rewrite(held, read.bytes, Narrowed(read.bytes, edit));
    if (!outcome.problem) outcome.written = facts.identity;
    return outcome;
}

}  // namespace vemor::platform
