#include <functional>
#include <string>
#include <variant>

#include "user_folders.h"

#include "failure.h"
#include "files.h"
#include "read_registry_value.h"
#include "state.h"
#include "user_folder_services.h"

namespace vemor {
namespace {

// Stands for a lookup that never returned, so that the next one still runs.
constexpr std::int32_t kNotLookedUp = -1;

std::string FolderText(const RegistryValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
    return {};
}

// The text read from the registry still holds its NUL and the blanks of the read buffer.
std::string Tidy(std::string folder) {
    std::erase(folder, '\0');
    const std::size_t first = folder.find_first_not_of(' ');
    if (first == std::string::npos) return platform::WithSeparator({});
    const std::size_t last = folder.find_last_not_of(' ');
    return platform::WithSeparator(folder.substr(first, last - first + 1));
}

// value_name below the first shell-folder key, below the second only when that fails, and
// fallback() after each lookup that fails.
std::string ShellFolder(const std::string& value_name, const std::function<std::string()>& fallback) {
    RegistryValue value;
    std::string folder;
    for (const char* key_path : {platform::kShellFoldersKey, platform::kShellKey}) {
        std::int32_t status = kNotLookedUp;
        SkipFailure([&] { status = ReadRegistryValue(kHkeyCurrentUser, key_path, value_name, value); });
        SkipFailure([&] { folder = status == 0 ? FolderText(value) : fallback(); });
        if (status == 0) break;
    }
    SkipFailure([&] { folder = Tidy(folder); });
    return folder;
}

}  // namespace

std::string GetAppDataPath() {
    return ShellFolder("AppData", [] { return std::string(); });
}

std::string GetPersonalPath() {
    SkipFailure([] { AppPath = platform::WithSeparator(CurrentUserFolderServices().ProgramFolder()); });
    return ShellFolder("Personal", [] { return AppPath + PatchPath; });
}

// The documents folder's fallback appends PatchPath, which is empty when the window starts;
// it is emptied here so that every run starts from the same folder.
std::string DefaultClientFolder() {
    PatchPath.clear();
    return GetPersonalPath() + "Eigene Diagnostik" + platform::kSeparator;
}

}  // namespace vemor
