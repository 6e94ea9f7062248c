// The rules that find the host test program: through the master data file in the
// application-data folder to the program file. The windows only ask them and start it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "failure.h"
#include "files.h"
#include "qrx_launcher.h"
#include "registry.h"
#include "support/fake_registry.h"
#include "support/temp_tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::FakeRegistry;
using test::TempTree;

// Paths are written with "\" and turned into the platform's own.
std::string P(std::string path) {
    std::replace(path.begin(), path.end(), '\\', platform::kSeparator);
    return path;
}

TEST(HostProgramFolder, CutsTheHelpSegmentsInOnePassAndUpperCases) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Tests\\Hilfe\\Verfahren\\QRX\\", "D:\\TESTS\\"},
        {"D:\\Tests\\Hilfe\\Verfahren\\QRX", "D:\\TESTS\\VERFAHREN\\QRX"},
        {"D:\\Hilfe\\Daten\\Hilfe\\Verfahren\\QRX\\", "D:\\DATEN\\"},
        {"D:\\Verfahren\\Hilfe\\QRX\\", "D:\\"},
        {"HILHILFE\\FE\\", "HILFE\\"},
        {"", ""},
        {"c:\\programme\\qrx\\hilfe\\verfahren\\qrx\\", "C:\\PROGRAMME\\QRX\\"},
    };
    for (const auto& [value, folder] : cases) EXPECT_EQ(HostProgramFolder(P(value)), P(folder)) << value;
}

// The current folder for as long as it lives.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const fs::path& folder) : old_(fs::current_path()) { fs::current_path(folder); }
    ~ScopedCurrentFolder() { fs::current_path(old_); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    fs::path old_;
};

// Help folders beginning with "@" lie below the programs' folder, which is also the current
// folder, so that a relative one would find what lies there. The rules upper-case the
// program's folder; a file system that regards letter case resolves it name by name.
TEST(LocateQrx, FindsTheProgramOnlyInAnAbsoluteFolderWhereBothLookupsAnswerWithTheirName) {
    struct Case {
        const char* name;
        const char* help_folder;  // nullptr: no master file
        const char* program;      // below the programs' folder; nullptr: none
        bool found;
        const char* master = kMasterFile;
    };
    const Case cases[] = {
        {"no master file", nullptr, "PROG/qrx.exe", false},
        {"help folder", "@Prog\\Hilfe\\Verfahren\\QRX\\", "PROG/qrx.exe", true},
        {"master in other letter case", "@Prog\\Hilfe\\Verfahren\\QRX\\", "PROG/qrx.exe", true, "QRXMASTER_D_KOMPL_KF1.DAT"},
        {"program stored in upper case", "@Prog\\hilfe\\verfahren\\qrx\\", "PROG/QRX.EXE", true},
        {"no final separator", "@Prog\\Hilfe\\Verfahren\\QRX", "PROG/qrx.exe", false},
        {"program missing", "@Prog\\Hilfe\\Verfahren\\QRX\\", nullptr, false},
        {"a folder of that name", "@Dir\\Hilfe\\Verfahren\\QRX\\", "DIR/qrx.exe/qrx.exe", false},
        // Whatever qrx.exe lies in the folder the tool was started from is no host program.
        {"empty value", "", "qrx.exe", false},
        {"current folder", ".\\", "qrx.exe", false},
        {"relative folder", "qrx\\", "QRX/qrx.exe", false},
#ifdef _WIN32
        {"relative to the drive", "C:qrx\\", "QRX/qrx.exe", false},
        {"hidden program", "@Hid\\Hilfe\\Verfahren\\QRX\\", "HID/qrx.exe", false},
        // A lookup that fails with an error is no program the user could start.
        {"lookup fails", "@Pr|og\\Hilfe\\Verfahren\\QRX\\", nullptr, false},
#endif
    };
    for (const Case& c : cases) {
        TempTree app_data;
        TempTree programs;
        FakeRegistry registry;
        registry.Set(platform::kShellFoldersKey, "AppData", {platform::kRegSz, FakeRegistry::Text(app_data.Root()), {}});
        std::string help_folder = c.help_folder ? P(c.help_folder) : "";
        if (help_folder.starts_with('@')) help_folder = programs.Root() + help_folder.substr(1);
        if (c.help_folder != nullptr)
            app_data.File("Zembrosa/VERFAHREN/QRX/" + std::string(c.master),
                          test::Crlf("[Optionen]\nHilfeVerfahrenVerz=" + help_folder + "\n"));
        if (c.program != nullptr) programs.File(c.program, "MZ");
#ifdef _WIN32
        if (std::string(c.name) == "hidden program")
            SetFileAttributesW(programs.Fs(c.program).c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
        const ScopedCurrentFolder current(programs.Fs(""));
        const QrxLocation location = LocateQrx();
        EXPECT_EQ(location.found, c.found) << c.name;
        if (c.found) {
            const std::string& path = location.program_path;
            EXPECT_TRUE(fs::equivalent(fs::path(std::u8string(path.begin(), path.end())), programs.Fs(c.program)))
                << c.name << ": " << path;
        } else {
            EXPECT_EQ(location.program_path, "") << c.name;
        }
    }
#ifdef _WIN32
    EXPECT_TRUE(platform::FindPlainFile(TempTree().Root() + "PR|OG\\qrx.exe").problem)
        << "the lookup must fail with an error for the last case to mean anything";
#endif
}

}  // namespace
}  // namespace vemor
