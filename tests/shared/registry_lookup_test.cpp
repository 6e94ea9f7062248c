#include <gtest/gtest.h>

#include <algorithm>

#include "files.h"
#include "modPatch72_01.h"
#include "modSpezial.h"
#include "state.h"
#include "support/fake_registry.h"

namespace vemor {
namespace {

using test::FakeRegistry;

const std::string kFirst = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kSecond = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell";

constexpr std::uint32_t kSz = platform::kRegSz;
constexpr std::uint32_t kExpandSz = platform::kRegExpandSz;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = platform::kRegDword;

// Paths are written with "\" and compared with the platform's separator.
std::string P(std::string path) {
    std::replace(path.begin(), path.end(), '\\', platform::kSeparator);
    return path;
}

TEST(ReadRegistryValue, ReadsTextsAndNumbersAndLeavesEverythingElseAlone) {
    struct Case {
        const char* what;
        std::optional<FakeRegistry::Value> stored;  // nothing: the value is missing
        std::int32_t close_status;
        std::int32_t status;
        RegistryValue value;  // starts as "alt"
    };
    const RegistryValue untouched = std::string("alt");
    const std::string documents = "C:\\Users\\anna\\Documents";
    const Case cases[] = {
        {"text, with the NUL and the buffer's last blank", FakeRegistry::Value{kSz, FakeRegistry::Text(documents), {}},
         0, 0, documents + std::string("\0 ", 2)},
        {"text stored without NUL", FakeRegistry::Value{kSz, FakeRegistry::Text("D:\\", false), {}}, 0, 0,
         std::string("D:\\ ")},
        {"empty text", FakeRegistry::Value{kSz, "", {}}, 0, 0, std::string(" ")},
        {"non-ASCII text", FakeRegistry::Value{kSz, FakeRegistry::Text("C:\\Users\\\xC5\x9E\xC3\xBCkr\xC3\xBC"), {}},
         0, 0, std::string("C:\\Users\\\xC5\x9E\xC3\xBCkr\xC3\xBC") + std::string("\0 ", 2)},
        {"number", FakeRegistry::Value{kDword, FakeRegistry::Number(5), {}}, 0, 0, std::int32_t{5}},
        {"negative number", FakeRegistry::Value{kDword, FakeRegistry::Number(-2), {}}, 0, 0, std::int32_t{-2}},
        {"number longer than 32 bits", FakeRegistry::Value{kDword, std::string(8, '\x01'), {}}, 0, 234, untouched},
        {"expandable text", FakeRegistry::Value{kExpandSz, FakeRegistry::Text("%USERPROFILE%"), {}}, 0, 0, untouched},
        {"raw bytes", FakeRegistry::Value{kBinary, "xyz", {}}, 0, 0, untouched},
        {"missing value", std::nullopt, 0, 2, untouched},
        {"text grown between the two reads",
         FakeRegistry::Value{kSz, FakeRegistry::Text("D:\\"), FakeRegistry::Text("D:\\Daten")}, 0, 234, untouched},
        {"closing fails after a read", FakeRegistry::Value{kDword, FakeRegistry::Number(7), {}}, 6, 6,
         std::int32_t{7}},
        {"closing fails after a failed read", std::nullopt, 6, 2, untouched},
    };
    for (const Case& c : cases) {
        FakeRegistry registry;
        registry.Key(kFirst);
        if (c.stored) registry.Set(kFirst, "Personal", *c.stored);
        registry.close_status = c.close_status;
        RegistryValue value = untouched;
        EXPECT_EQ(ReadRegistryValue(kHkeyCurrentUser, kFirst, "Personal", value), c.status) << c.what;
        EXPECT_EQ(value, c.value) << c.what;
        EXPECT_TRUE(registry.open_keys.empty()) << c.what;
    }
}

TEST(ReadRegistryValue, MissingKeyLeavesNothingToClose) {
    FakeRegistry registry;
    RegistryValue value;
    EXPECT_EQ(ReadRegistryValue(kHkeyCurrentUser, kFirst, "Personal", value), 2);
    EXPECT_EQ(value, RegistryValue{});
    EXPECT_EQ(registry.opened, std::vector<std::string>{kFirst});
}

TEST(ReadRegistryValue, ClosesTheKeyWhenAReadThrows) {
    FakeRegistry registry;
    registry.Set(kFirst, "AppData", {kSz, FakeRegistry::Text("C:\\x"), {}});
    registry.throw_on_query = true;
    RegistryValue value;
    EXPECT_THROW(ReadRegistryValue(kHkeyCurrentUser, kFirst, "AppData", value), std::bad_alloc);
    EXPECT_TRUE(registry.open_keys.empty());
    // The folder lookups carry on past it, to the second key and the fallback.
    EXPECT_EQ(GetAppDataPath(), P("\\"));
    EXPECT_EQ(registry.opened, (std::vector<std::string>{kFirst, kFirst, kSecond}));
}

struct FolderCase {
    const char* what;
    const char* name;  // "AppData" or "Personal"
    std::optional<FakeRegistry::Value> first;
    std::optional<FakeRegistry::Value> second;
    std::string program_folder;
    std::string patch_path;
    std::string result;
    std::vector<std::string> opened;
};

FakeRegistry::Value Sz(const std::string& text) { return {kSz, FakeRegistry::Text(P(text)), {}}; }

TEST(UserFolders, LookUpFirstKeyThenSecondThenFallBack) {
    const std::string program = P("C:\\Programme\\Patch");
    const std::vector<std::string> first = {kFirst};
    const std::vector<std::string> both = {kFirst, kSecond};
    const FolderCase cases[] = {
        {"plain text", "Personal", Sz("C:\\Users\\anna\\Documents"), {}, program, "",
         P("C:\\Users\\anna\\Documents\\"), first},
        {"final separator kept single", "Personal", Sz("C:\\Users\\anna\\Documents\\"), {}, program, "",
         P("C:\\Users\\anna\\Documents\\"), first},
        {"drive root", "AppData", Sz("D:\\"), {}, program, "", P("D:\\"), first},
        {"blanks around", "AppData", Sz("  D:\\Daten  "), {}, program, "", P("D:\\Daten\\"), first},
        {"blanks only", "AppData", Sz("   "), {}, program, "", P("\\"), first},
        {"non-ASCII", "Personal", Sz("C:\\Users\\\xC5\x9E\xC3\xBCkr\xC3\xBC\\Documents"), {}, program, "",
         P("C:\\Users\\\xC5\x9E\xC3\xBCkr\xC3\xBC\\Documents\\"), first},
        {"AppData missing under both", "AppData", {}, {}, program, "", P("\\"), both},
        {"Personal missing under both", "Personal", {}, {}, program, "", P("C:\\Programme\\Patch\\"), both},
        {"Personal missing, PatchPath set", "Personal", {}, {}, program, P("Alt\\"),
         P("C:\\Programme\\Patch\\Alt\\"), both},
        {"only under the second key", "Personal", {}, Sz("E:\\Zweit"), program, "", P("E:\\Zweit\\"), both},
        {"expandable text: found, nothing read", "Personal",
         FakeRegistry::Value{kExpandSz, FakeRegistry::Text("%USERPROFILE%\\Documents"), {}}, Sz("E:\\Zweit"),
         program, "", P("\\"), first},
        {"number", "AppData", FakeRegistry::Value{kDword, FakeRegistry::Number(5), {}}, {}, program, "",
         P("5\\"), first},
    };
    for (const FolderCase& c : cases) {
        FakeRegistry registry;
        registry.program_folder = c.program_folder;
        registry.Key(kFirst);
        if (c.first) registry.Set(kFirst, c.name, *c.first);
        if (c.second) registry.Set(kSecond, c.name, *c.second);
        PatchPath = c.patch_path;
        AppPath = "vorher";
        const bool personal = std::string(c.name) == "Personal";
        EXPECT_EQ(personal ? GetPersonalPath() : GetAppDataPath(), c.result) << c.what;
        EXPECT_EQ(registry.opened, c.opened) << c.what;
        EXPECT_TRUE(registry.open_keys.empty()) << c.what;
        EXPECT_EQ(AppPath, personal ? program + platform::kSeparator : "vorher") << c.what;
    }
    PatchPath.clear();
}

TEST(UserFolders, AppPathOfTheProgramFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {P("C:\\Programme\\Patch"), P("C:\\Programme\\Patch\\")},
        {P("C:\\"), P("C:\\")},
        {"", P("\\")},
    };
    for (const auto& [folder, app_path] : cases) {
        FakeRegistry registry;
        registry.program_folder = folder;
        GetPersonalPath();
        EXPECT_EQ(AppPath, app_path) << folder;
    }
}

}  // namespace
}  // namespace vemor
