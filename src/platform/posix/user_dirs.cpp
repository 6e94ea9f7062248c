#include "posix/user_dirs.h"

#include <cstdlib>
#include <fstream>

namespace vemor::platform::posix {
namespace {

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::size_t SkipBlanks(const std::string& line, std::size_t pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    return pos;
}

// The file is written for the shell, but only this form is defined: NAME="$HOME/..." or
// NAME="/...", with backslash escapes inside the quotes. The last assignment wins.
std::optional<std::string> UserDirFromLine(const std::string& line, const std::string& name,
                                           const std::optional<std::string>& home) {
    std::size_t pos = SkipBlanks(line, 0);
    if (line.compare(pos, name.size(), name) != 0) return std::nullopt;
    pos = SkipBlanks(line, pos + name.size());
    if (pos >= line.size() || line[pos] != '=') return std::nullopt;
    pos = SkipBlanks(line, pos + 1);
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    ++pos;
    std::string folder;
    if (line.compare(pos, 5, "$HOME") == 0) {
        if (!home) return std::nullopt;
        folder = *home;
        pos += 5;
    } else if (pos >= line.size() || line[pos] != '/') {
        return std::nullopt;
    }
    for (; pos < line.size() && line[pos] != '"'; ++pos) {
        if (line[pos] == '\\' && pos + 1 < line.size()) ++pos;
        folder += line[pos];
    }
    if (pos >= line.size()) return std::nullopt;  // no closing quote
    return folder;
}

}  // namespace

std::optional<std::string> ConfigHome() {
    const std::optional<std::string> config = Variable("XDG_CONFIG_HOME");
    // A relative setting is invalid by the convention and is ignored.
    if (config && config->front() == '/') return config;
    const std::optional<std::string> home = Variable("HOME");
    if (!home) return std::nullopt;
    return *home + "/.config";
}

std::optional<std::string> StateHome() {
    const std::optional<std::string> state = Variable("XDG_STATE_HOME");
    if (state && state->front() == '/') return state;
    const std::optional<std::string> home = Variable("HOME");
    if (!home) return std::nullopt;
    return *home + "/.local/state";
}

std::optional<std::string> DocumentsFolder() {
    const std::optional<std::string> home = Variable("HOME");
    std::optional<std::string> documents;
    if (const std::optional<std::string> config = ConfigHome()) {
        std::ifstream file(*config + "/user-dirs.dirs");
        for (std::string line; std::getline(file, line);) {
            if (auto folder = UserDirFromLine(line, "XDG_DOCUMENTS_DIR", home)) documents = std::move(folder);
        }
    }
    if (!documents && home) documents = *home + "/Documents";
    return documents;
}

}  // namespace vemor::platform::posix
