// The POSIX writer edits the one line as Windows does, in place where the length stays, else
// by an atomic replace that keeps what the file system keeps about the file: these are its
// own promises beyond the shared profile tables.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cli.h"
#include "profile.h"
#include "support/result_text.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

struct InPlaceCase {
    const char* name;
    std::string before;
    std::string after;
};

void PrintTo(const InPlaceCase& c, std::ostream* os) { *os << c.name; }

const InPlaceCase kInPlaceCases[] = {
    {"lf_and_blank_lines_stay", "[TreeData]\nA = 1\n\n[Optionen]\n  Normdaten = 0 \nB=2\n\n",
     "[TreeData]\nA = 1\n\n[Optionen]\nNormdaten=1\nB=2\n\n"},
    {"mixed_line_ends_stay", "[Optionen]\r\nX=1\nNormdaten=0\rY=2\r\n", "[Optionen]\r\nX=1\nNormdaten=1\rY=2\r\n"},
    {"no_final_line_end", "[Optionen]\nNormdaten=0", "[Optionen]\nNormdaten=1\r\n"},
    {"comments_stay", "; Kopf\r\n[Optionen]\r\n;Normdaten=5\r\nNormdaten=0 ; alt\r\n",
     "; Kopf\r\n[Optionen]\r\n;Normdaten=5\r\nNormdaten=1\r\n"},
    {"added_after_last_key_not_after_blank_lines", "[Optionen]\nA=1\n\n[B]\nC=2\n",
     "[Optionen]\nA=1\nNormdaten=1\n\n[B]\nC=2\n"},
    {"added_to_last_line_without_line_end", "[Optionen]\nA=1", "[Optionen]\nA=1\nNormdaten=1"},
    {"added_section_after_unterminated_line", "[A]\r\nB=1", "[A]\r\nB=1\r\n[Optionen]\r\nNormdaten=1\r\n"},
    {"new_file_content", "", "[Optionen]\r\nNormdaten=1\r\n"},
    {"utf8_mark_hides_a_first_line_header", "\xEF\xBB\xBF[Optionen]\nNormdaten=0\n",
     "\xEF\xBB\xBF[Optionen]\nNormdaten=0\n[Optionen]\nNormdaten=1\n"},
    {"key_without_value_gets_one", "[Optionen]\nNormdaten\n", "[Optionen]\nNormdaten=1\n"},
};

class PosixWrite : public ::testing::TestWithParam<InPlaceCase> {};

TEST_P(PosixWrite, EditsOnlyTheOneLine) {
    TempTree tree;
    tree.File("s/sitzung.dat", GetParam().before);
    EXPECT_TRUE(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "1"));
    EXPECT_EQ(tree.Read("s/sitzung.dat"), GetParam().after);
    EXPECT_EQ(tree.Names("s"), std::vector<std::string>{"sitzung.dat"}) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Files, PosixWrite, ::testing::ValuesIn(kInPlaceCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(PosixWriteFile, KeepsPermissionsAndStoredNameAndLinks) {
    TempTree tree;
    tree.File("real/SITZUNG.DAT", "[Optionen]\nNormdaten=0\n");
    fs::permissions(tree.Fs("real/SITZUNG.DAT"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_directory(tree.Fs("link"));
    fs::create_symlink(tree.Fs("real/SITZUNG.DAT"), tree.Fs("link/sitzung.dat"));

    EXPECT_TRUE(platform::WriteProfileText(tree.Path("link/sitzung.dat"), "Optionen", "Normdaten", "1"));
    EXPECT_TRUE(fs::is_symlink(tree.Fs("link/sitzung.dat")));
    EXPECT_EQ(tree.Read("real/SITZUNG.DAT"), "[Optionen]\nNormdaten=1\n");
    EXPECT_EQ(fs::status(tree.Fs("real/SITZUNG.DAT")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    EXPECT_TRUE(platform::WriteProfileText(tree.Path("real/sitzung.dat"), "Optionen", "Normdaten", "2"));
    EXPECT_EQ(tree.Read("real/SITZUNG.DAT"), "[Optionen]\nNormdaten=2\n");
    EXPECT_FALSE(tree.Exists("real/sitzung.dat") && !fs::equivalent(tree.Fs("real/sitzung.dat"), tree.Fs("real/SITZUNG.DAT")));
}

TEST(PosixWriteFile, NeverWritesWhatItMustNot) {
    TempTree tree;
    const std::string original = "[Optionen]\nNormdaten=0\n";
    tree.File("ro/sitzung.dat", original);
    test::MakeReadOnly(tree.Fs("ro/sitzung.dat"));
    tree.File("unreadable/sitzung.dat", original);
    fs::permissions(tree.Fs("unreadable/sitzung.dat"), fs::perms::owner_write);
    tree.Folder("folder/sitzung.dat");

    EXPECT_FALSE(platform::WriteProfileText(tree.Path("ro/sitzung.dat"), "Optionen", "Normdaten", "1"));
    EXPECT_EQ(tree.Read("ro/sitzung.dat"), original);
    EXPECT_FALSE(platform::WriteProfileText(tree.Path("folder/sitzung.dat"), "Optionen", "Normdaten", "1"));
    EXPECT_TRUE(fs::is_directory(tree.Fs("folder/sitzung.dat")));
    EXPECT_FALSE(platform::WriteProfileText(tree.Path("fehlt/sitzung.dat"), "Optionen", "Normdaten", "1"));
    // Root may read every file, so this one is refused only for an ordinary user.
    const bool readable = tree.Read("unreadable/sitzung.dat") == original;
    const bool written = !!platform::WriteProfileText(tree.Path("unreadable/sitzung.dat"), "Optionen", "Normdaten", "1");
    fs::permissions(tree.Fs("unreadable/sitzung.dat"), fs::perms::owner_read, fs::perm_options::add);
    EXPECT_EQ(written, readable);
    EXPECT_EQ(tree.Read("unreadable/sitzung.dat"), readable ? "[Optionen]\nNormdaten=1\n" : original);
    for (const char* folder : {"ro", "unreadable", "folder"})
        EXPECT_EQ(std::distance(fs::directory_iterator(tree.Fs(folder)), fs::directory_iterator()), 1) << folder;
}


struct Identity {
    ino_t inode;
    nlink_t links;
    mode_t mode;
};

Identity IdentityOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return {info.st_ino, info.st_nlink, info.st_mode};
}

std::string Attribute(const fs::path& path, const char* name) {
    std::string value(256, '\0');
    const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
    return size < 0 ? "(none)" : value.substr(0, static_cast<std::size_t>(size));
}

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

constexpr const char* kAcl = "system.posix_acl_access";

struct KeepCase {
    const char* name;
    const char* before_value;  // Normdaten before the patch; other than "0" the length changes
    bool second_name;          // a hard link besides
    bool same_file;            // the file stays the one it was (inode)
};

void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }

const KeepCase kKeepCases[] = {
    {"same_length", "0", false, true},
    {"same_length_with_a_second_name", "0", true, true},
    {"other_length", "0.0", false, false},
    {"other_length_with_a_second_name", "-0", true, true},
};

class PosixWriteKeeps : public ::testing::TestWithParam<KeepCase> {};

// What the file system keeps about the file survives the patch: its identity and other names
// where it is written in place, its mode, extended attributes and ACL in any case.
TEST_P(PosixWriteKeeps, IdentityNamesAttributesAndAcl) {
    const KeepCase& c = GetParam();
    TempTree tree;
    const std::string before = "[Optionen]\r\nNormdaten=" + std::string(c.before_value) + "\r\nB=2\r\n";
    tree.File("s/sitzung.dat", before);
    const fs::path file = tree.Fs("s/sitzung.dat");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(setxattr(file.c_str(), "user.vemor", "kept", 4, 0), 0) << "the file system keeps no attributes";
    const std::string acl = AclGranting(65534);
    ASSERT_EQ(setxattr(file.c_str(), kAcl, acl.data(), acl.size(), 0), 0) << "the file system keeps no ACLs";
    if (c.second_name) fs::create_hard_link(file, tree.Fs("s/kopie.dat"));
    const Identity old = IdentityOf(file);

    ASSERT_TRUE(platform::WriteProfileText(tree.Path("s/sitzung.dat"), "Optionen", "Normdaten", "1"));
    const std::string after = "[Optionen]\r\nNormdaten=1\r\nB=2\r\n";
    EXPECT_EQ(tree.Read("s/sitzung.dat"), after);
    const Identity now = IdentityOf(file);
    EXPECT_EQ(now.inode == old.inode, c.same_file);
    EXPECT_EQ(now.links, old.links);
    EXPECT_EQ(now.mode, old.mode);
    if (c.second_name) {
        EXPECT_EQ(tree.Read("s/kopie.dat"), after) << "the other name sees the patch";
    }
    EXPECT_EQ(Attribute(file, "user.vemor"), "kept");
    EXPECT_EQ(Attribute(file, kAcl), acl);
    EXPECT_EQ(tree.Names("s").size(), c.second_name ? 2u : 1u) << "nothing is left beside the file";
}

INSTANTIATE_TEST_SUITE_P(Patches, PosixWriteKeeps, ::testing::ValuesIn(kKeepCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A full disk refuses the copy that a change of length needs: the session is not patched,
// standard error says why, and the file and its folder stay as they were. Mounting the small
// disk takes root.
TEST(PosixWriteFile, OnAFullDiskSaysSoAndLeavesAllAsItWas) {
    TempTree tree;
    tree.Folder("disk");
    if (mount("vemor", tree.Path("disk").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system takes root: " << std::strerror(errno);
    const std::string session = test::Crlf("[TreeData]\nBezeichnung=Voll\n[Optionen]\nIdentifikation=") +
                                test::kShortForm1 + test::Crlf("\nNormdaten=0.0\n") + std::string(3000, ';');
    tree.File("disk/A/user.dat", test::ClientFile("A", "B"));
    tree.File("disk/A/s/sitzung.dat", session);
    {
        std::ofstream filler(tree.Fs("disk/filler"), std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    CliOutput output;
    const int status = RunCli({"apply", tree.Path("disk")}, output);
    const std::string left = tree.Read("disk/A/s/sitzung.dat");
    const std::vector<std::string> names = tree.Names("disk/A/s");
    umount2(tree.Path("disk").c_str(), MNT_DETACH);
    EXPECT_EQ(status, kNotPatched);
    EXPECT_EQ(output.out, "A B\n" + test::NotPatched("Voll", "0.0") + "\n");
    EXPECT_EQ(output.err, "vemor-patch: " + tree.Path("disk/A/s/sitzung.dat") + ": not patched: no space left on the device\n");
    EXPECT_EQ(left, session);
    EXPECT_EQ(names, std::vector<std::string>{"sitzung.dat"});
}

}  // namespace
}  // namespace vemor
