// The POSIX backend's registry: the desktop's folders under the shell-folder keys.
#include <gtest/gtest.h>

#include <filesystem>

#include "modPatch72_01.h"
#include "modSpezial.h"
#include "posix/user_dirs.h"
#include "record_folder.h"
#include "state.h"
#include "support/environment.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using test::ScopedVariable;
using test::TempTree;

const std::string kFirst = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kSecond = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell";

// Folders relative to the temporary tree; "~" stands for the temporary HOME.
struct Case {
    const char* what;
    std::optional<std::string> home;
    std::optional<std::string> config;
    std::string dirs_file;  // relative to the tree, with the content below
    std::string dirs;
    std::optional<std::string> personal;  // nothing: the program's own folder
    std::string app_data;
};

TEST(DesktopFolders, FollowTheXdgConventions) {
    TempTree tree;
    const std::string home = tree.Path("home");
    const std::string config = tree.Path("cfg");
    const Case cases[] = {
        {"nothing but HOME", home, {}, "", "", home + "/Documents/", home + "/.config/"},
        {"user-dirs.dirs below HOME", home, {}, "home/.config/user-dirs.dirs",
         "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home + "/Dokumente/", home + "/.config/"},
        {"absolute entry with escapes", home, config, "cfg/user-dirs.dirs",
         "# Kommentar\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n  XDG_DOCUMENTS_DIR = "
         "\"/srv/\xC5\x9E\xC3\xBCkr\xC3\xBC \\\"Akten\\\"\"\n",
         "/srv/\xC5\x9E\xC3\xBCkr\xC3\xBC \"Akten\"/", config + "/"},
        {"last entry wins", home, config, "cfg/user-dirs.dirs",
         "XDG_DOCUMENTS_DIR=\"$HOME/Alt\"\nXDG_DOCUMENTS_DIR=\"$HOME/Neu/\"\n", home + "/Neu/", config + "/"},
        {"relative entry ignored", home, config, "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"Dokumente\"\n",
         home + "/Documents/", config + "/"},
        {"unquoted entry ignored", home, config, "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=$HOME/Dokumente\n",
         home + "/Documents/", config + "/"},
        {"relative XDG_CONFIG_HOME ignored", home, "cfg", "home/.config/user-dirs.dirs",
         "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home + "/Dokumente/", home + "/.config/"},
        {"XDG_CONFIG_HOME with a final slash", home, config + "/", "", "", home + "/Documents/", config + "/"},
        {"no HOME to expand", {}, config, "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", {},
         config + "/"},
        {"neither HOME nor XDG_CONFIG_HOME", {}, {}, "", "", {}, "/"},
        {"empty HOME counts as none", "", {}, "", "", {}, "/"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(tree.Fs("home"));
        std::filesystem::remove_all(tree.Fs("cfg"));
        if (!c.dirs_file.empty()) tree.File(c.dirs_file, c.dirs);
        ScopedVariable home_variable("HOME", c.home);
        ScopedVariable config_variable("XDG_CONFIG_HOME", c.config);
        PatchPath.clear();
        const std::string personal = GetPersonalPath();
        EXPECT_EQ(personal, c.personal.value_or(AppPath)) << c.what;
        EXPECT_EQ(GetAppDataPath(), c.app_data) << c.what;
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(AppPath + "vemor_tests")) << AppPath;
}

// Where the records of moved bytes are kept: the state folder, never a relative one.
TEST(DesktopFolders, StateFolderFollowsTheXdgConventions) {
    const struct {
        std::optional<std::string> home, state, expected;
    } cases[] = {
        {"/home/anna", {}, "/home/anna/.local/state"},
        {"/home/anna", "/var/lib/praxis", "/var/lib/praxis"},
        {"/home/anna", "state", "/home/anna/.local/state"},
        {"/home/anna", "", "/home/anna/.local/state"},
        {{}, "/var/lib/praxis", "/var/lib/praxis"},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        ScopedVariable home_variable("HOME", c.home);
        ScopedVariable state_variable("XDG_STATE_HOME", c.state);
        EXPECT_EQ(platform::posix::StateHome(), c.expected) << c.home.value_or("-") << " " << c.state.value_or("-");
    }
    // Made for the user alone; one that others may write in is not used, since records are
    // written back into client files.
    TempTree tree;
    ScopedVariable state_variable("XDG_STATE_HOME", tree.Path("state"));
    for (const auto& [mode, usable] : {std::pair{std::filesystem::perms::owner_all, true},
                                       std::pair{std::filesystem::perms::all, false}}) {
        platform::FileProblem problem{platform::FileProblem::Kind::kOther};
        std::string where;
        const std::optional<std::string> folder = platform::StateFolder(true, problem, where);
        EXPECT_EQ(folder, usable ? std::optional(where + "/") : std::nullopt);
        EXPECT_EQ(where, tree.Path("state/vemor-patch"));
        EXPECT_EQ(std::filesystem::status(where).permissions(), mode);
        std::filesystem::permissions(where, std::filesystem::perms::all);
    }
}

TEST(DesktopFolders, AnswerLikeTheRegistry) {
    TempTree tree;
    ScopedVariable home_variable("HOME", tree.Path("home"));
    ScopedVariable config_variable("XDG_CONFIG_HOME", std::nullopt);
    const RegistryValue untouched = std::string("alt");
    struct Lookup {
        RegistryRoot root;
        std::string key_path;
        std::string name;
        std::int32_t status;
        RegistryValue value;
    };
    const Lookup lookups[] = {
        {kHkeyCurrentUser, kFirst, "Personal", 0, tree.Path("home") + "/Documents" + std::string("\0 ", 2)},
        {kHkeyCurrentUser, kSecond, "APPDATA", 0, tree.Path("home") + "/.config" + std::string("\0 ", 2)},
        {kHkeyCurrentUser, kFirst, "Desktop", 2, untouched},
        {kHkeyCurrentUser, kFirst + "\\Sub", "Personal", 2, untouched},
        {0x80000002, kFirst, "Personal", 6, untouched},
    };
    for (const Lookup& l : lookups) {
        RegistryValue value = untouched;
        EXPECT_EQ(ReadRegistryValue(l.root, l.key_path, l.name, value), l.status) << l.key_path << " " << l.name;
        EXPECT_EQ(value, l.value) << l.key_path << " " << l.name;
    }
}

}  // namespace
}  // namespace vemor
