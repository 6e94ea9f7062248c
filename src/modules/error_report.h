#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "failure.h"

namespace vemor {

// Show flags of ShowError.
inline constexpr std::int16_t kShow = -1;
inline constexpr std::int16_t kSilent = 0;
inline constexpr const char* kErrorCaption = "frmpatch_72_01";

// Reports a caught failure: with kShow in a box with its description, number and source,
// with kSilent not at all.
void ShowError(const Failure& failure, std::int16_t show);

// Shows text where ShowError's boxes go, under the same caption: what a run did besides its
// list that someone has to know.
void ShowReport(const std::string& text);

// The failure being handled in a catch block, whatever was thrown.
Failure CaughtFailure();

// Where ShowError's boxes go: a message box by default; the command line sends them to
// standard error and tests collect them. Nothing puts the box back.
using ErrorPresenter = std::function<void(const std::string& text, const std::string& caption)>;
void SetErrorPresenter(ErrorPresenter presenter);

}  // namespace vemor
