// The Windows backend against the real registry of the throwaway Wine prefix, set through
// reg.exe. Every key touched is exported first and put back afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "modPatch72_01.h"
#include "modSpezial.h"
#include "state.h"
#include "support/temp_tree.h"
#include "utf16.h"

namespace vemor {
namespace {

const std::string kFirst = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kSecond = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell";

// A command-line argument in quotes; backslashes before the closing quote are doubled, or
// the quote would count as escaped.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"" + text;
    for (auto it = text.rbegin(); it != text.rend() && *it == '\\'; ++it) quoted += '\\';
    return quoted + "\"";
}

std::string Key(const std::string& key_path) { return Quoted("HKCU\\" + key_path); }

// Runs commands through the command interpreter; true when the last one succeeded.
bool RunCommands(const std::string& commands) { return _wsystem(platform::Utf16(commands).c_str()) == 0; }

class RegistrySandbox {
public:
    RegistrySandbox() {
        for (Saved& saved : saved_) {
            saved.file = tree_.Path(std::to_string(&saved - saved_) + ".reg");
            saved.existed = RunCommands("reg query " + Key(saved.key_path) + " >nul 2>&1");
            if (saved.existed) {
                EXPECT_TRUE(RunCommands("reg export " + Key(saved.key_path) + " " + Quoted(saved.file) + " /y >nul"));
            }
        }
    }
    ~RegistrySandbox() {
        for (const Saved& saved : saved_) {
            RunCommands("reg delete " + Key(saved.key_path) + " /f >nul 2>&1");
            if (saved.existed) {
                EXPECT_TRUE(RunCommands("reg import " + Quoted(saved.file) + " >nul 2>&1"));
            }
        }
    }
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

private:
    struct Saved {
        std::string key_path;
        bool existed = false;
        std::string file;
    };
    test::TempTree tree_;
    Saved saved_[2] = {{kFirst, false, ""}, {kSecond, false, ""}};
};

struct Stored {
    const char* type;  // as reg.exe names it
    std::string data;
};

struct Case {
    const char* what;
    const char* name;
    std::optional<Stored> first;
    std::optional<Stored> second;
    std::optional<std::string> result;  // nothing: the program's own folder
};

// Both keys cleared of the value, then the case's values stored.
std::string StoreCase(const Case& c) {
    std::string commands = "reg delete " + Key(kSecond) + " /f >nul 2>&1 & reg delete " + Key(kFirst) +
                           " /v " + c.name + " /f >nul 2>&1";
    const std::pair<std::string, const std::optional<Stored>*> keys[] = {{kFirst, &c.first}, {kSecond, &c.second}};
    for (const auto& [key_path, stored] : keys) {
        if (!*stored) continue;
        commands += " & reg add " + Key(key_path) + " /v " + c.name + " /t " + (*stored)->type + " /d " +
                    Quoted((*stored)->data) + " /f >nul";
    }
    return commands;
}

TEST(RegistryUnderWine, ShellFoldersOfTheCurrentUser) {
    RegistrySandbox sandbox;
    const Stored documents{"REG_SZ", "C:\\Users\\anna\\Documents"};
    const Case cases[] = {
        {"text", "Personal", documents, {}, "C:\\Users\\anna\\Documents\\"},
        {"text with a final backslash", "Personal", Stored{"REG_SZ", "C:\\Users\\anna\\Documents\\"}, {},
         "C:\\Users\\anna\\Documents\\"},
        {"drive root", "AppData", Stored{"REG_SZ", "D:\\"}, {}, "D:\\"},
        {"blanks around", "AppData", Stored{"REG_SZ", "  D:\\Daten  "}, {}, "D:\\Daten\\"},
        {"AppData missing under both keys", "AppData", {}, {}, "\\"},
        {"Personal missing under both keys", "Personal", {}, {}, std::nullopt},
        {"only under the second key", "Personal", {}, Stored{"REG_SZ", "E:\\Zweit"}, "E:\\Zweit\\"},
        {"expandable text under the first key", "Personal", Stored{"REG_EXPAND_SZ", "C:\\Erweitert"},
         Stored{"REG_SZ", "E:\\Zweit"}, "\\"},
        {"number", "AppData", Stored{"REG_DWORD", "5"}, {}, "5\\"},
        {"non-ASCII user folder", "Personal", Stored{"REG_SZ", "C:\\users\\\xC5\x9E\xC3\xBCkr\xC3\xBC\\Documents"},
         {}, "C:\\users\\\xC5\x9E\xC3\xBCkr\xC3\xBC\\Documents\\"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(RunCommands(StoreCase(c))) << c.what;
        PatchPath.clear();
        const bool personal = std::string(c.name) == "Personal";
        const std::string folder = personal ? GetPersonalPath() : GetAppDataPath();
        EXPECT_EQ(folder, c.result.value_or(AppPath)) << c.what;
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(
        std::filesystem::path(platform::Utf16(AppPath + "vemor_tests.exe"))))
        << AppPath;

    // The text comes with its NUL and the read buffer's last blank; a value missing from an
    // existing key gives the platform's code and leaves the looked-up value alone.
    ASSERT_TRUE(RunCommands(StoreCase({"", "Personal", documents, {}, {}})));
    RegistryValue value;
    EXPECT_EQ(ReadRegistryValue(kHkeyCurrentUser, kFirst, "Personal", value), 0);
    EXPECT_EQ(value, RegistryValue(documents.data + std::string("\0 ", 2)));
    EXPECT_EQ(ReadRegistryValue(kHkeyCurrentUser, kFirst, "Fehlt", value), 2);
    EXPECT_EQ(value, RegistryValue(documents.data + std::string("\0 ", 2)));
}

}  // namespace
}  // namespace vemor
