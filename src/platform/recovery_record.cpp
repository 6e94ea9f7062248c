#include "recovery_record.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "put_back.h"
#include "record_folder.h"
#include "test_hooks.h"

namespace vemor::platform {
namespace {

constexpr std::string_view kHeading = "vemor-patch record 1\n";
constexpr std::string_view kEnd = "end\n";

// FNV-1a: enough to tell a file changed since, not meant to withstand a forger, who could
// write the file anyway.
std::uint64_t Hash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    return hash;
}

void PutNumber(std::string& text, std::uint64_t number) { text += std::to_string(number) + "\n"; }

void PutBytes(std::string& text, std::string_view bytes) {
    PutNumber(text, bytes.size());
    text.append(bytes);
    text += '\n';
}

// Reads what PutNumber and PutBytes wrote, from the front of rest.
struct Cursor {
    std::string_view rest;
    bool ok = true;

    std::uint64_t Number() {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos || end == 0 || end > 20) return Fail();
        std::uint64_t number = 0;
        for (const char digit : rest.substr(0, end)) {
            if (digit < '0' || digit > '9') return Fail();
            number = number * 10 + static_cast<std::uint64_t>(digit - '0');
        }
        rest.remove_prefix(end + 1);
        return number;
    }
    std::string Bytes() {
        const std::uint64_t size = Number();
        if (!ok || size >= rest.size() || rest[size] != '\n') return Fail(), std::string();
        std::string bytes(rest.substr(0, size));
        rest.remove_prefix(size + 1);
        return bytes;
    }
    std::uint64_t Fail() {
        ok = false;
        return 0;
    }
};

// A name no other record has: the file's number and a count of this moment.
std::string RecordName(const RecoveryRecord& record) {
    static std::atomic<std::uint64_t> made{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(record.identity.index) + "-" +
           std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) + "-" +
           std::to_string(made.fetch_add(1)) + ".record";
}

std::optional<FileProblem> Unkept(const FileProblem& why) {
    FileProblem problem = why;
    problem.kind = FileProblem::Kind::kNoRecord;
    return problem;
}

}  // namespace

RecoveryRecord RecordOf(const std::string& path, const FileIdentity& identity, std::string_view bytes,
                        std::uint64_t offset, std::string intended) {
    const auto at = static_cast<std::size_t>(offset);
    return {path, identity, offset, Hash(bytes.substr(0, at)), std::string(bytes.substr(at)), std::move(intended)};
}

std::string RecordText(const RecoveryRecord& record) {
    std::string text(kHeading);
    PutBytes(text, record.path);
    for (const std::uint64_t number : {record.identity.volume, record.identity.index, record.offset, record.before_hash})
        PutNumber(text, number);
    PutBytes(text, record.original);
    PutBytes(text, record.intended);
    return text.append(kEnd);
}

std::optional<RecoveryRecord> ParseRecord(std::string_view text) {
    if (!text.starts_with(kHeading)) return std::nullopt;
    Cursor cursor{text.substr(kHeading.size())};
    RecoveryRecord record;
    record.path = cursor.Bytes();
    record.identity.volume = cursor.Number();
    record.identity.index = cursor.Number();
    record.offset = cursor.Number();
    record.before_hash = cursor.Number();
    record.original = cursor.Bytes();
    record.intended = cursor.Bytes();
    if (!cursor.ok || cursor.rest != kEnd) return std::nullopt;
    return record;
}

LeftState Judge(const RecoveryRecord& record, std::string_view file) {
    if (file.size() < record.offset) return LeftState::kOther;
    const auto at = static_cast<std::size_t>(record.offset);
    if (Hash(file.substr(0, at)) != record.before_hash) return LeftState::kOther;
    const std::string_view rest = file.substr(at), original = record.original, intended = record.intended;
    if (rest == original) return LeftState::kOriginal;
    if (rest == intended) return LeftState::kIntended;
    if (rest.size() < std::min(original.size(), intended.size())) return LeftState::kOther;
    if (rest.size() > std::max(original.size(), intended.size())) return LeftState::kOther;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const bool as_before = i < original.size() && rest[i] == original[i];
        const bool as_meant = i < intended.size() && rest[i] == intended[i];
        if (!as_before && !as_meant) return LeftState::kOther;
    }
    return LeftState::kPartWay;
}

std::optional<std::string> RecordFolder(bool make, FileProblem& problem, std::string& where) {
    if (!test_hooks::record_folder.empty()) return where = test_hooks::record_folder;
    return StateFolder(make, problem, where);
}

std::optional<FileProblem> KeepRecord(const RecoveryRecord& record, KeptRecord& kept) {
    FileProblem refused{FileProblem::Kind::kOther};
    std::string where;
    const std::optional<std::string> folder = RecordFolder(true, refused, where);
    if (!folder) return Unkept(refused);
    kept.path = *folder + RecordName(record);
    kept.file = OpenFile::Unpublished(kept.path, refused);
    if (!kept.file) return Unkept(refused);
    std::optional<FileProblem> problem = kept.file.Hold();
    if (!problem) problem = WriteWhole(kept.file, 0, RecordText(record), false);
    if (!problem) problem = kept.file.Flush();
    if (!problem) problem = kept.file.Publish(kept.path);
    if (problem) {
        kept.file = {};
        return Unkept(*problem);
    }
    return std::nullopt;
}

}  // namespace vemor::platform
