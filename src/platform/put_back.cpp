#include "put_back.h"

#include <cerrno>

#include "profile_file.h"

namespace vemor::platform {

using test_hooks::WriteStage;

std::optional<FileProblem> WriteWhole(const OpenFile& file, std::uint64_t offset, std::string_view data, bool durably) {
    while (!data.empty()) {
        std::size_t written = 0;
        if (auto problem = file.WriteSome(offset, data, durably, written)) return problem;
        data.remove_prefix(written);
        offset += written;
    }
    return std::nullopt;
}

std::optional<FileProblem> WriteAll(const OpenFile& file, std::uint64_t offset, std::string_view data, bool durably,
                                    test_hooks::WriteCall call) {
    const std::optional<std::size_t> part = test_hooks::cut_write ? test_hooks::cut_write(call) : std::nullopt;
    if (!part) return WriteWhole(file, offset, data, durably);
    if (auto problem = WriteWhole(file, offset, data.substr(0, std::min(*part, data.size())), durably)) return problem;
    const bool edit = call == test_hooks::WriteCall::kEdit;
    test_hooks::Reached(edit ? WriteStage::kPartWritten : WriteStage::kPutBackPartWritten);
    return FileProblem{FileProblem::Kind::kNoSpace, ENOSPC};
}

std::optional<FileProblem> ReadAnew(const RecoveryRecord& record, LeftState& state) {
    const FileReading anew = ReadProfileFile(record.path, true);
    if (anew.problem) return anew.problem;
    if (anew.identity != record.identity) return FileProblem{FileProblem::Kind::kChanged};
    state = Judge(record, anew.bytes);
    return std::nullopt;
}

std::optional<FileProblem> PutBack(const OpenFile& held, const RecoveryRecord& record) {
    // A handle of its own where the system allows one beside the held: on some file systems
    // a handle that has been written through once writes elsewhere the next time.
    FileProblem refused{FileProblem::Kind::kOther};
    const OpenFile writer = OpenFile::kSecondWriter ? held.Again(record.path, true, refused) : OpenFile();
    if (OpenFile::kSecondWriter && !writer) return refused;
    const OpenFile& file = writer ? writer : held;
    auto problem = WriteAll(file, record.offset, record.original, false, test_hooks::WriteCall::kPutBack);
    if (!problem) problem = file.Cut(record.offset + record.original.size());
    if (!problem) problem = file.Flush();
    if (problem) return problem;
    LeftState state = LeftState::kOther;
    if (auto unread = ReadAnew(record, state)) return unread;
    if (state != LeftState::kOriginal) return FileProblem{FileProblem::Kind::kOther, 0, "it does not read as it was"};
    return std::nullopt;
}

}  // namespace vemor::platform
