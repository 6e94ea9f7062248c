#pragma once

#include <optional>
#include <string>

// The desktop's per-user folders as the XDG conventions define them.
namespace vemor::platform::posix {

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; nothing without either.
std::optional<std::string> ConfigHome();

// $XDG_STATE_HOME when it is an absolute path, else $HOME/.local/state; nothing without either.
std::optional<std::string> StateHome();

// XDG_DOCUMENTS_DIR from user-dirs.dirs in ConfigHome(), else $HOME/Documents.
std::optional<std::string> DocumentsFolder();

}  // namespace vemor::platform::posix
