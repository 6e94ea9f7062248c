#include "profile_values.h"

#include "error_report.h"
#include "text.h"

namespace vemor {
namespace {

constexpr std::size_t kFirstBuffer = 128;
constexpr std::size_t kSecondBuffer = 32000;

// Only profile files are read; anything else is never opened.
bool IsProfileFileName(const std::string& file) {
    const std::string upper = platform::ToUpper(file);
    return upper.find(".DAT") != std::string::npos || upper.find(".INI") != std::string::npos;
}

}  // namespace

ProfileValue ReadIniValue(platform::ProfileStep& step, const std::string& section, const std::string& key,
                          const std::string& fallback) {
    try {
        if (!IsProfileFileName(step.file())) return std::nullopt;
        platform::ProfileText read = step.Read(section, key, fallback, kFirstBuffer);
        if (read.count + 1 < kFirstBuffer) return read.text;
        // The value may have been cut: one more read with the large buffer, and no third.
        read = step.Read(section, key, fallback, kSecondBuffer);
        return read.text;
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
        return std::nullopt;
    }
}

ProfileValue ReadIniValue(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback) {
    platform::ProfileStep step(file);
    return ReadIniValue(step, section, key, fallback);
}

void WriteIniValue(platform::ProfileStep& step, const std::string& section, const std::string& key,
                   const std::string& value) {
    try {
        // A refused write is no failure: the caller's read-back shows it.
        step.Write(section, key, value);
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
    }
}

void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
    platform::ProfileStep step(file);
    WriteIniValue(step, section, key, value);
}

}  // namespace vemor
