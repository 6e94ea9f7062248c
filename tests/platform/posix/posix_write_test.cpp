// The POSIX writer edits the one line as Windows does, in place where the length stays, else
// by an atomic replace that keeps what the file system keeps about the file: these are its
// own promises beyond the shared profile tables.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
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


// On a full disk a value that needs more room is refused before anything is written, and the
// file stays byte for byte as it was, other names and all: the session is not patched and
// standard error says why. One that needs less is patched. Mounting the small disk takes root.
TEST(PosixWriteFile, OnAFullDiskWritesOnlyWhatNeedsNoRoom) {
    TempTree tree;
    tree.Folder("disk");
    if (mount("vemor", tree.Path("disk").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system takes root: " << std::strerror(errno);
    // A whole page, but for one byte: a line end more needs another.
    const auto session = [](const std::string& norm_line) {
        std::string head = test::Crlf("[TreeData]\nBezeichnung=Voll\n[Optionen]\nIdentifikation=") +
                           test::kShortForm1 + "\r\n;";
        const std::string tail = "\r\nNormdaten=" + norm_line;
        return head + std::string(4095 - head.size() - tail.size(), ';') + tail;
    };
    const auto patched = [](const std::string& before) {
        return before.substr(0, before.rfind("Normdaten=")) + "Normdaten=1\r\n";
    };
    struct Case {
        const char* folder;
        std::string before;
        bool second_name;
        std::string out;
        std::string err;  // after the path
        std::string after;
    };
    const Case cases[] = {
        {"longer", session("0"), false, test::NotPatched("Voll", "0"), ": not patched: no space left on the device",
         session("0")},
        {"longer_with_a_second_name", session("0"), true, test::NotPatched("Voll", "0"),
         ": not patched: no space left on the device", session("0")},
        {"shorter", session("0.0\r\n"), false, test::Patched("Voll"), "", patched(session("0.0\r\n"))},
    };
    for (const Case& c : cases) {
        tree.File("disk/" + std::string(c.folder) + "/A/user.dat", test::ClientFile("A", "B"));
        tree.File("disk/" + std::string(c.folder) + "/A/s/sitzung.dat", c.before);
        if (c.second_name) {
            fs::create_hard_link(tree.Fs("disk/" + std::string(c.folder) + "/A/s/sitzung.dat"),
                                 tree.Fs("disk/" + std::string(c.folder) + "/A/s/kopie.dat"));
        }
    }
    {
        std::ofstream filler(tree.Fs("disk/filler"), std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    for (const Case& c : cases) {
        const std::string root = "disk/" + std::string(c.folder);
        CliOutput output;
        const int status = RunCli({"apply", tree.Path(root)}, output);
        EXPECT_EQ(status, c.err.empty() ? kCompleted : kNotPatched) << c.folder;
        EXPECT_EQ(output.out, "A B\n" + c.out + "\n") << c.folder;
        EXPECT_EQ(output.err, c.err.empty() ? "" : "vemor-patch: " + tree.Path(root + "/A/s/sitzung.dat") + c.err + "\n");
        EXPECT_EQ(tree.Read(root + "/A/s/sitzung.dat"), c.after) << c.folder;
        const std::string other_name = c.second_name ? tree.Read(root + "/A/s/kopie.dat") : c.after;
        EXPECT_EQ(other_name, c.after) << c.folder;
        EXPECT_EQ(tree.Names(root + "/A/s").size(), c.second_name ? 2u : 1u) << c.folder;
    }
    umount2(tree.Path("disk").c_str(), MNT_DETACH);
}

// On a volume that copies on write, a value of another length rewrites the file's tail into new
// room, which a nearly full volume lacks, and so would putting the old tail back: a hard-linked
// session of 570 KB is left whole, or patched, never torn. Loop-mounting a btrfs image takes
// root, mkfs.btrfs and a loop device.
TEST(PosixWriteFile, OnANearlyFullCopyOnWriteVolumeTheFileIsWholeOrPatched) {
    TempTree tree;
    tree.Folder("disk");
    const std::string image = tree.Path("btrfs.img"), disk = tree.Path("disk");
    const std::string make = "truncate -s 128M '" + image + "' && mkfs.btrfs -q '" + image + "' >/dev/null 2>&1 && mount -o loop '" +
                             image + "' '" + disk + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "cannot loop-mount a btrfs volume here (root, mkfs.btrfs, loop devices)";
    std::string session = test::SessionFile("Voll", test::kShortForm1, "0.0");
    for (int line = 0; session.size() < 570000; ++line) session += "Zeile" + std::to_string(line) + "=" + std::string(40, 'x') + "\r\n";
    const std::string patched = session.substr(0, session.find("Normdaten=")) + "Normdaten=1" +
                                session.substr(session.find("Normdaten=") + 13);
    for (const std::uint64_t free_kib : {128, 384}) {
        tree.File("disk/A/user.dat", test::ClientFile("A", "B"));
        tree.File("disk/A/s/sitzung.dat", session);
        fs::create_hard_link(tree.Fs("disk/A/s/sitzung.dat"), tree.Fs("disk/A/kopie.dat"));
        {
            std::ofstream filler(tree.Fs("disk/filler"), std::ios::binary);
            const std::string block(1 << 20, 'x');
            while (filler.write(block.data(), block.size())) {
            }
        }
        // Gives room back until the volume, once its changes are on disk, tells that much free.
        for (std::uintmax_t size = fs::file_size(tree.Fs("disk/filler"));; size -= 16 * 1024) {
            sync();
            struct statvfs volume {};
            ASSERT_EQ(statvfs(disk.c_str(), &volume), 0);
            if (volume.f_bavail * volume.f_frsize >= free_kib * 1024) break;
            fs::resize_file(tree.Fs("disk/filler"), size);
        }
        CliOutput output;
        EXPECT_EQ(RunCli({"apply", tree.Path("disk")}, output), kNotPatched) << free_kib << " KiB free: " << output.err;
        EXPECT_EQ(output.err, "vemor-patch: " + tree.Path("disk/A/s/sitzung.dat") + ": not patched: no space left on the device\n");
        const std::string now = tree.Read("disk/A/s/sitzung.dat");
        EXPECT_TRUE(now == session || now == patched) << free_kib << " KiB free: torn";
        EXPECT_EQ(tree.Read("disk/A/kopie.dat"), now);
        fs::remove_all(tree.Fs("disk/A"));
        fs::remove(tree.Fs("disk/filler"));
    }
    umount2(disk.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace vemor
