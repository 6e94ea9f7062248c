#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "failure.h"

namespace vemor {

// A profile value: a text, or unset when nothing could be read.
using ProfileValue = std::optional<std::string>;

inline constexpr std::int16_t kShow = -1;
inline constexpr std::int16_t kSilent = 0;
inline constexpr const char* kErrorCaption = "frmpatch_72_01";

// Walks the client-data tree below folder (which gets a trailing separator) and lists, or
// with ApplyPatch set patches, every patchable session in lstPatchSitzung.
void ScanSessions(std::string& folder, const std::string& pattern);

ProfileValue ReadIniValue(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback);
ProfileValue WriteIniValue(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& value);

void ShowError(const Failure& failure, std::int16_t show);

// The user's roaming application-data folder and documents folder, each ending with the
// separator; GetPersonalPath also sets AppPath. Neither shows anything to the user.
std::string GetAppDataPath();
std::string GetPersonalPath();

// The failure being handled in a catch block, whatever was thrown.
Failure CaughtFailure();

// Where ShowError's boxes go: a message box by default; the command line sends them to
// standard error and tests collect them.
using ErrorPresenter = std::function<void(const std::string& text, const std::string& caption)>;
void SetErrorPresenter(ErrorPresenter presenter);

}  // namespace vemor
