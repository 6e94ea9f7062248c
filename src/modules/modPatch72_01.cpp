#include "modPatch72_01.h"

#include <new>

#include "console.h"
#include "profile.h"
#include "text.h"

namespace vemor {
namespace {

constexpr std::size_t kFirstBuffer = 128;
constexpr std::size_t kSecondBuffer = 32000;

ErrorPresenter& Presenter() {
    static ErrorPresenter presenter = platform::ShowMessage;
    return presenter;
}

// Only profile files are read; anything else is never opened.
bool IsProfileFileName(const std::string& file) {
    const std::string upper = platform::ToUpper(file);
    return upper.find(".DAT") != std::string::npos || upper.find(".INI") != std::string::npos;
}

}  // namespace

Failure CaughtFailure() {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return Failure(failure_number::kOutOfMemory, "Nicht genügend Speicher");
    } catch (const std::exception& error) {
        return Failure(failure_number::kUnexpected, std::string("Unerwarteter Fehler: ") + error.what());
    } catch (...) {
        return Failure(failure_number::kUnexpected, "Unerwarteter Fehler");
    }
}

ProfileValue ReadIniValue(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback) {
    try {
        if (!IsProfileFileName(file)) return std::nullopt;
        platform::ProfileText read = platform::ReadProfileText(file, section, key, fallback, kFirstBuffer);
        if (read.count + 1 < kFirstBuffer) return read.text;
        // The value may have been cut: one more read with the large buffer, and no third.
        read = platform::ReadProfileText(file, section, key, fallback, kSecondBuffer);
        return read.text;
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
        return std::nullopt;
    }
}

ProfileValue WriteIniValue(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& value) {
    try {
        // A refused write is no failure: the caller's read-back shows it.
        platform::WriteProfileText(file, section, key, value);
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
    }
    return std::nullopt;
}

void ShowError(const Failure& failure, std::int16_t show) {
    // Numbers outside 16 bits are shown whole rather than wrapped into a misleading one.
    const std::int32_t number = failure.number();
    try {
        const std::string text =
            failure.description() + " (" + std::to_string(number) + ") " + failure.source();
        if (show != 0) Presenter()(text, kErrorCaption);
    } catch (...) {
        const Failure inner = CaughtFailure();
        try {
            Presenter()("Global Error: " + std::to_string(inner.number()) + " - " + inner.description(),
                        kErrorCaption);
        } catch (...) {
            // Nothing is left to report with; the caller ends in any case.
        }
    }
}

void SetErrorPresenter(ErrorPresenter presenter) {
    Presenter() = presenter ? std::move(presenter) : ErrorPresenter(platform::ShowMessage);
}

}  // namespace vemor
