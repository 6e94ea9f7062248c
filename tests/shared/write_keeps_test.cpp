// What the file system keeps about a session file survives its patch, which is written where
// the file stands: its identity, its other names, the spelling of its name, and what the
// system records beside its bytes (on Windows its attributes; on POSIX its mode, extended
// attributes and ACL).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/xattr.h>
#endif

#include "profile.h"
#include "test_hooks.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

struct Identity {
    std::uint64_t id;        // the file number or inode
    std::uint64_t links;
    std::string attributes;  // what is kept beside the bytes, in one text to compare
};

#ifdef _WIN32
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

void GiveAttributes(const fs::path& file) {
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

Identity IdentityOf(const fs::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return {(static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, info.nNumberOfLinks,
            std::to_string(info.dwFileAttributes & kKeptAttributes)};
}
#else
constexpr const char* kAcl = "system.posix_acl_access";

// An access ACL as the kernel stores it: the owner, one more user, the group, the mask and
// the others.
std::string AclGranting(uid_t user) {
    const auto entry = [](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
        std::string bytes(8, '\0');
        for (int i = 0; i < 2; ++i) bytes[i] = static_cast<char>(tag >> (8 * i));
        for (int i = 0; i < 2; ++i) bytes[2 + i] = static_cast<char>(perm >> (8 * i));
        for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(id >> (8 * i));
        return bytes;
    };
    return std::string("\x02\0\0\0", 4) + entry(0x01, 6, ~0u) + entry(0x02, 4, user) + entry(0x04, 4, ~0u) +
           entry(0x10, 4, ~0u) + entry(0x20, 4, ~0u);
}

void GiveAttributes(const fs::path& file) {
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(setxattr(file.c_str(), "user.vemor", "kept", 4, 0), 0) << "the file system keeps no attributes";
    const std::string acl = AclGranting(65534);
    ASSERT_EQ(setxattr(file.c_str(), kAcl, acl.data(), acl.size(), 0), 0) << "the file system keeps no ACLs";
}

std::string Attribute(const fs::path& path, const char* name) {
    std::string value(256, '\0');
    const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
    return size < 0 ? "(none)" : value.substr(0, static_cast<std::size_t>(size));
}

Identity IdentityOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return {info.st_ino, info.st_nlink,
            std::to_string(info.st_mode) + "|" + Attribute(path, "user.vemor") + "|" + Attribute(path, kAcl)};
}
#endif

struct KeepCase {
    const char* name;
    const char* before_value;  // Normdaten before the patch; other than "0" the length changes
    bool second_name = false;  // a hard link besides
    const char* stored_as = "sitzung.dat";  // the name it is stored by; the patch asks for sitzung.dat
    std::uint64_t hole = 0;    // zero bytes never written before the text: a sparse file
};

void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }

const KeepCase kKeepCases[] = {
    {"same_length", "0"},
    {"same_length_with_a_second_name", "0", true},
    {"other_length", "0.0"},
    {"other_length_with_a_second_name", "-0", true},
    {"other_length_stored_in_another_spelling", "0.0", false, "Sitzung.DAT"},
    // Read, compared and read back in more than one call: no call moves more than 2 GiB on
    // Linux, and ours move at most 1 GiB on Windows.
#ifdef _WIN32
    {"flag_beyond_1_gib", "0", false, "sitzung.dat", (std::uint64_t{1} << 30) + 5},
#else
    {"flag_beyond_2_gib", "0", false, "sitzung.dat", (std::uint64_t{1} << 31) + 5},
#endif
};

// The last bytes of a file, which may be too large to compare whole.
std::string Tail(const fs::path& path, std::size_t size) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const auto end = static_cast<std::streamoff>(in.tellg());
    in.seekg(std::max<std::streamoff>(0, end - static_cast<std::streamoff>(size)));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WriteKeeps : public ::testing::TestWithParam<KeepCase> {};

TEST_P(WriteKeeps, IdentityNamesAndAttributes) {
    const KeepCase& c = GetParam();
    TempTree tree;
    const std::string text = "\r\n[Optionen]\r\nNormdaten=" + std::string(c.before_value) + "\r\nB=2\r\n";
    const fs::path file = tree.Fs("s/" + std::string(c.stored_as));
    tree.Hollow("s/" + std::string(c.stored_as), c.hole);
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
    GiveAttributes(file);
    if (c.second_name) fs::create_hard_link(file, tree.Fs("s/kopie.dat"));
    const Identity old = IdentityOf(file);

    const std::string path = tree.Path("s/sitzung.dat");
    platform::ProfileStep step(path);
    const platform::WriteResult written = step.Write("Optionen", "Normdaten", "1");
    // A 32-bit program has no room for a file over 1 GiB, and says so.
    if (sizeof(void*) == 4 && c.hole >= (std::uint64_t{1} << 30)) {
        ASSERT_FALSE(written);
        EXPECT_EQ(written.problem->kind, platform::FileProblem::Kind::kNoMemory);
        EXPECT_EQ(Tail(file, text.size()), text);
        return;
    }
    ASSERT_TRUE(written);
    EXPECT_EQ(step.Read("Optionen", "Normdaten", "", 128).text, "1") << "read back by name";
    const std::string after = "\r\n[Optionen]\r\nNormdaten=1\r\nB=2\r\n";
    EXPECT_EQ(fs::file_size(file), c.hole + after.size());
    EXPECT_EQ(Tail(file, after.size()), after);
    const Identity now = IdentityOf(file);
    EXPECT_EQ(now.id, old.id);
    EXPECT_EQ(now.links, old.links);
    EXPECT_EQ(now.attributes, old.attributes);
    if (c.second_name) {
        EXPECT_EQ(Tail(tree.Fs("s/kopie.dat"), 1000), after) << "the other name sees the patch";
    }
    std::vector<std::string> names{c.stored_as};
    if (c.second_name) names.insert(names.begin(), "kopie.dat");
    EXPECT_EQ(tree.Names("s"), names) << "nothing is left beside the file, which keeps its name";
    EXPECT_TRUE(fs::is_empty(platform::test_hooks::record_folder)) << "the record of the moved bytes went with the write";
}

INSTANTIATE_TEST_SUITE_P(Patches, WriteKeeps, ::testing::ValuesIn(kKeepCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace vemor
