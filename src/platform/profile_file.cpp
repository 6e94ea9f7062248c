// How a profile file is read and edited, decided once for every system: what is checked, in
// which order, how the edit is written and how a failed one is undone, from memory or, where
// bytes move, from a record kept on the local disk first. The backends only
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

#include "put_back.h"
#include "recovery_record.h"
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

// The file a write goes into, as read.
struct WriteTarget {
    const std::string& path;
    FileIdentity identity;
    std::string_view bytes;

    RecoveryRecord Record(const ByteEdit& edit) const {
        std::string intended = edit.insert;
        intended.append(bytes.substr(edit.offset + edit.erase));
        return RecordOf(path, identity, bytes, edit.offset, std::move(intended));
    }
};

// Whether file holds exactly bytes; nothing but a read that failed is a problem.
Problem HoldsExactly(const OpenFile& file, std::string_view bytes, bool& same) {
    std::string piece(std::min(bytes.size() + 1, kPiece), '\0');
    for (std::size_t compared = 0;;) {
        std::size_t got = 0;
        if (Problem problem = file.ReadSome(compared, piece.data(), piece.size(), got)) return problem;
        same = bytes.substr(compared, got) == std::string_view(piece.data(), got);
        if (!same) return std::nullopt;
        compared += got;
        // Short of the piece just at the size read: the end, as a file on a disk reads.
        if (got == 0 || (got < piece.size() && compared == bytes.size())) {
            same = compared == bytes.size();
            return std::nullopt;
        }
    }
}

// Compared through the handle it was read by, which the write never uses: some file systems
// write where a handle last read. Where that reading says otherwise, a handle of its own has
// the last word, as a handle read once more may answer from where it stopped.
Problem Unchanged(const FileReading& read, const OpenFile& held) {
    bool same = false;
    if (!HoldsExactly(read.file, read.bytes, same) && same) return std::nullopt;
    FileProblem refused{FileProblem::Kind::kOther};
    const OpenFile fresh = held.Again(read.path, false, refused);
    if (!fresh) return refused;
    if (Problem problem = HoldsExactly(fresh, read.bytes, same)) return problem;
    return same ? std::nullopt : Problem(Changed());
}

// A file that could not be put back: its record stays, for the next run to write it back.
Problem Damaged(const FileProblem& why, const KeptRecord& kept) {
    FileProblem problem = why;
    problem.kept_in = kept.path;
    return problem;
}

// Puts the file back after a failed write, and keeps the record until it reads as before.
Problem Undo(const OpenFile& held, const RecoveryRecord& record, KeptRecord& kept, const FileProblem& why) {
    const Problem unrestored = PutBack(held, record);
    if (!unrestored) {
        if (kept.file) kept.file.Remove(kept.path);
        return why;
    }
    // Kept only now where the write needed none: it is the one copy of what the file held.
    if (!kept.file && KeepRecord(record, kept)) return why;
    return Damaged(*unrestored, kept);
}

// The edited bytes from the edit's offset to the end of the file: one call where they are
// few, so that a kill cannot part them.
Problem WriteTail(const OpenFile& file, const ByteEdit& edit, std::string_view rest) {
    using test_hooks::WriteCall;
    if (rest.size() <= kPiece) return WriteAll(file, edit.offset, edit.insert + std::string(rest), false, WriteCall::kEdit);
    if (Problem problem = WriteAll(file, edit.offset, edit.insert, false, WriteCall::kEdit)) return problem;
    return WriteAll(file, edit.offset + edit.insert.size(), rest, false, WriteCall::kEdit);
}

// The same length: just the changed bytes, flushed along with the write: one call that lands
// whole or not at all, so no copy is kept unless putting it back fails.
Problem WriteSameLength(const OpenFile& held, const WriteTarget& target, const ByteEdit& edit) {
    const Problem problem = WriteAll(held, edit.offset, edit.insert, true, test_hooks::WriteCall::kEdit);
    if (!problem) {
        if (!edit.insert.empty()) Reached(WriteStage::kWrittenInPlace);
        return std::nullopt;
    }
    KeptRecord none;
    return Undo(held, target.Record(edit), none, *problem);
}

// Another length: room for the new size first, so that a full disk refuses before anything
// changes; the bytes to be moved kept on the local disk; then the bytes from the edit to the
// end written, the file cut to its new size, flushed and read anew. Whatever fails on the way,
// the bytes as read go back from the record, which stays where they cannot.
Problem WriteOtherLength(const OpenFile& held, const WriteTarget& target, const ByteEdit& edit) {
    const std::size_t size = target.bytes.size();
    const std::size_t edited = size - edit.erase + edit.insert.size();
    if (Problem problem = held.Reserve(size, edited, edited - edit.offset)) return problem;
    const RecoveryRecord record = target.Record(edit);
    KeptRecord kept;
    if (Problem problem = KeepRecord(record, kept)) return problem;
    Reached(WriteStage::kRecorded);
    Problem problem = WriteTail(held, edit, target.bytes.substr(edit.offset + edit.erase));
    if (!problem) Reached(WriteStage::kWrittenInPlace);
    if (!problem && edited < size && !(problem = held.Cut(edited))) Reached(WriteStage::kCut);
    if (!problem) problem = held.Flush();
    LeftState state = LeftState::kOther;
    if (!problem) problem = ReadAnew(record, state);
    if (!problem && state != LeftState::kIntended)
        problem = FileProblem{FileProblem::Kind::kOther, 0, "it does not read as written"};
    if (problem) return Undo(held, record, kept, *problem);
    // A record left by a failed removal finds the file as written, and goes with the next run.
    kept.file.Remove(kept.path);
    return std::nullopt;
}

// A file that was missing when read: made whole, or not at all; and known, so that the
// read-back can tell it from another made meanwhile.
EditOutcome MakeFile(const std::string& path, const std::string& contents) {
    FileProblem refused{FileProblem::Kind::kOther};
    OpenFile made = OpenFile::Unpublished(path, refused);
    if (!made) return {refused};
    Problem problem = WriteAll(made, 0, contents, false, test_hooks::WriteCall::kEdit);
    if (!problem) problem = made.Flush();
    if (!problem) problem = made.Publish(path);
    FileFacts facts;
    if (!problem) problem = made.Facts(facts, {.identity = true});
    if (!problem && !facts.identity) problem = FileProblem{FileProblem::Kind::kOther};
    if (problem) return {problem};
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
    // A file read and let go was opened again by its name, which may lead elsewhere by now.
    if (!outcome.problem && (facts.unnamed || (read.identity && facts.identity != read.identity))) outcome.problem = Changed();
    // Write-protected, also for an administrator or root, whom the system would let write.
    if (!outcome.problem && facts.read_only) outcome.problem = FileProblem{FileProblem::Kind::kReadOnly};
    if (!outcome.problem) outcome.problem = Unchanged(read, held);
    if (!outcome.problem && !facts.identity) outcome.problem = FileProblem{FileProblem::Kind::kOther};
    if (outcome.problem) return outcome;
    Reached(WriteStage::kHeld);
    const WriteTarget target{read.path, *facts.identity, read.bytes};
    const ByteEdit narrowed = Narrowed(read.bytes, edit);
    const bool same_length = narrowed.erase == narrowed.insert.size();
    outcome.problem = same_length ? WriteSameLength(held, target, narrowed) : WriteOtherLength(held, target, narrowed);
    if (!outcome.problem) outcome.written = facts.identity;
    return outcome;
}

}  // namespace vemor::platform
