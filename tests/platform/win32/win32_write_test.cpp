// The Windows writer edits the one line in place where the length stays, else replaces the
// file by the system's replace: what Windows keeps about the file survives either way.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>

#include "profile.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

struct Identity {
    std::uint64_t index;
    DWORD links;
    DWORD attributes;
};

Identity IdentityOf(const fs::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return {(static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, info.nNumberOfLinks,
            info.dwFileAttributes};
}

struct KeepCase {
    const char* name;
    const char* before_value;  // Normdaten before the patch; other than "0" the length changes
    bool second_name;          // a hard link besides
    bool same_file;            // the file stays the one it was (file number)
};

void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }

const KeepCase kKeepCases[] = {
    {"same_length", "0", false, true},
    {"same_length_with_a_second_name", "0", true, true},
    {"other_length", "0.0", false, false},
    {"other_length_with_a_second_name", "-0", true, true},
};

class Win32WriteKeeps : public ::testing::TestWithParam<KeepCase> {};

TEST_P(Win32WriteKeeps, IdentityNamesAndAttributes) {
    const KeepCase& c = GetParam();
    TempTree tree;
    tree.File("s/sitzung.dat", "[Optionen]\r\nNormdaten=" + std::string(c.before_value) + "\r\nB=2\r\n");
    const fs::path file = tree.Fs("s/sitzung.dat");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    if (c.second_name) {
        ASSERT_TRUE(CreateHardLinkW(tree.Fs("s/kopie.dat").c_str(), file.c_str(), nullptr));
    }
    const Identity old = IdentityOf(file);

    ASSERT_TRUE(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "1"));
    const std::string after = "[Optionen]\r\nNormdaten=1\r\nB=2\r\n";
    EXPECT_EQ(tree.Read("s/sitzung.dat"), after);
    const Identity now = IdentityOf(file);
    EXPECT_EQ(now.index == old.index, c.same_file);
    EXPECT_EQ(now.links, old.links);
    EXPECT_EQ(now.attributes & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    if (c.second_name) {
        EXPECT_EQ(tree.Read("s/kopie.dat"), after) << "the other name sees the patch";
    }
    EXPECT_EQ(tree.Names("s").size(), c.second_name ? 2u : 1u) << "nothing is left beside the file";
}

INSTANTIATE_TEST_SUITE_P(Patches, Win32WriteKeeps, ::testing::ValuesIn(kKeepCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace vemor
