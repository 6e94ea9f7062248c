#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_problem.h"

namespace vemor::platform {

// The program's folder on the local disk for what it keeps between runs, made where it is
// missing and make is set, with its trailing separator: on Windows in the user's LocalAppData known folder,
// elsewhere in $XDG_STATE_HOME (by default ~/.local/state). Nothing, with why, where there is
// none; where names the folder whenever it is known.
std::optional<std::string> StateFolder(bool make, FileProblem& problem, std::string& where);

// The names of the files in folder ending with suffix, as the folder gives them; nothing,
// with why, where it cannot be read.
std::optional<std::vector<std::string>> FilesEndingWith(const std::string& folder, std::string_view suffix,
                                                        FileProblem& problem);

}  // namespace vemor::platform
