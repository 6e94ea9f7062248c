#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace vemor {

// What every failure the program raises carries, so that ShowError can report it.
inline constexpr const char* kFailureSource = "Vemor_Patch_72_01";

class Failure : public std::exception {
public:
    Failure(std::int32_t number, std::string description, std::string source = kFailureSource)
        : number_(number), description_(std::move(description)), source_(std::move(source)) {}

    std::int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const std::string& source() const noexcept { return source_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::int32_t number_;
    std::string description_;
    std::string source_;
};

// Numbers of the failures this program raises itself: the classic runtime's error numbers, 5
// to 53 (invalid call, overflow, out of memory, type mismatch, file not found ...), which the
// error report quotes as that runtime's own failures were quoted.
namespace failure_number {
inline constexpr std::int32_t kInvalidCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kUnexpected = 51;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kFileNotFound = 53;
}  // namespace failure_number

// Runs one step of a procedure that never stops on a failure (the window handlers, the
// folder lookups): whatever the step throws is dropped, so that the next step still runs.
template <typename Step>
void SkipFailure(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace vemor
