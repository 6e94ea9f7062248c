#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <thread>

#include "app/state.h"
#include "forms/qrx_launcher.h"
#include "gui/gui_support.h"
#include "modules/modPatch72_01.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using forms::frmPatch72_01;

TEST(ProgramFolder, CutsTheHelpSegmentsInOnePassAndUpperCases) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Tests\\Hilfe\\Verfahren\\QRX\\", "D:\\TESTS\\"},
        {"D:\\Tests\\Hilfe\\Verfahren\\QRX", "D:\\TESTS\\VERFAHREN\\QRX"},
        {"D:\\Hilfe\\Daten\\Hilfe\\Verfahren\\QRX\\", "D:\\DATEN\\"},
        {"D:\\Verfahren\\Hilfe\\QRX\\", "D:\\"},
        {"HILHILFE\\FE\\", "HILFE\\"},
        {"", ""},
        {"c:\\programme\\qrx\\hilfe\\verfahren\\qrx\\", "C:\\PROGRAMME\\QRX\\"},
    };
    for (const auto& [value, folder] : cases) EXPECT_EQ(forms::ProgramFolder(value), folder) << value;
}

// The master data file in the prefix's application-data folder, removed again afterwards.
class Launcher : public ::testing::Test {
protected:
    Launcher() : master_folder(fs::path(test::Utf16(GetAppDataPath())) / L"Zembrosa" / L"VERFAHREN" / L"QRX") {}
    ~Launcher() override {
        std::error_code error;
        fs::remove_all(master_folder.parent_path().parent_path(), error);
        SetErrorPresenter(nullptr);
    }

    void WriteMaster(const std::string& help_folder) {
        std::error_code error;
        fs::remove_all(master_folder, error);
        fs::create_directories(master_folder);
        tree.File("master.dat", test::Crlf("[Optionen]\nHilfeVerfahrenVerz=" + help_folder + "\n"));
        fs::copy_file(tree.Fs("master.dat"), master_folder / forms::kMasterFile);
    }
    // The stand-in program at a path relative to programs.
    static void InstallProgram(const test::TempTree& programs, const std::string& relative) {
        fs::create_directories(programs.Fs(relative).parent_path());
        fs::copy_file(VEMOR_FAKE_QRX, programs.Fs(relative));
    }
    // What the stand-in recorded in folder: its path, its command line and its show state.
    static std::vector<std::wstring> Record(const fs::path& folder) {
        const fs::path file = folder / "started.txt";
        for (int i = 0; i < 100 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::vector<std::wstring> lines;
        if (!fs::exists(file)) return lines;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::wstring text(bytes.size() / 2, L'\0');
        std::memcpy(text.data(), bytes.data(), text.size() * 2);
        for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    test::TempTree tree;
    fs::path master_folder;
};

TEST_F(Launcher, FindsTheProgramOnlyWhereBothLookupsAnswerWithTheirName) {
    struct Case {
        const char* name;
        const char* help_folder;  // below the programs' tree; nullptr: no master file
        const char* program;      // relative to that tree; nullptr: none
        std::int16_t found;
    };
    const Case cases[] = {
        {"no master file", nullptr, "Prog/qrx.exe", 0},
        {"help folder", "Prog\\Hilfe\\Verfahren\\QRX\\", "Prog/qrx.exe", -1},
        {"stored in upper case", "Prog\\hilfe\\verfahren\\qrx\\", "Prog/QRX.EXE", -1},
        {"no final backslash", "Prog\\Hilfe\\Verfahren\\QRX", "Prog/qrx.exe", 0},
        {"program missing", "Prog\\Hilfe\\Verfahren\\QRX\\", nullptr, 0},
        {"a folder of that name", "Dir\\Hilfe\\Verfahren\\QRX\\", "Dir/qrx.exe/qrx.exe", 0},
        {"hidden program", "Hid\\Hilfe\\Verfahren\\QRX\\", "Hid/qrx.exe", 0},
        // A lookup that fails with an error is no program the user could start.
        {"lookup fails", "Pr|og\\Hilfe\\Verfahren\\QRX\\", nullptr, 0},
    };
    auto form = test::OpenMainWindow();
    for (const Case& c : cases) {
        test::TempTree programs;
        if (c.program != nullptr) InstallProgram(programs, c.program);
        if (std::string(c.name) == "hidden program")
            SetFileAttributesW(programs.Fs(c.program).c_str(), FILE_ATTRIBUTE_HIDDEN);
        std::error_code error;
        fs::remove_all(master_folder, error);
        if (c.help_folder != nullptr) WriteMaster(programs.Root() + c.help_folder);
        EXPECT_EQ(form->FoundQRXExe(), c.found) << c.name;
    }
    EXPECT_THROW(platform::FindPlainFile(tree.Root() + "PR|OG\\qrx.exe"), Failure)
        << "the lookup must fail with an error for the last case to mean anything";
}

class StartQuestion : public Launcher {
protected:
    // Runs "Ausführen" after a preview of the tree and answers the start question (if it is
    // asked) with answer; returns the question's text, empty when none was asked.
    std::wstring RunAusfuehren(frmPatch72_01& form, int answer) {
        test::PreviewFolder(form, tree.Root());
        std::wstring question;
        test::WhenShown shown(L"#32770", form.Window(), [&](HWND box) {
            question = TextOf(GetDlgItem(box, 0xFFFF)) + L"|" + TextOf(box);
            test::Press(GetDlgItem(box, answer));
        });
        SendMessageW(GetDlgItem(form.Window(), frmPatch72_01::cmdStart), BM_CLICK, 0, 0);
        return question;
    }
    void Sessions() {
        tree.File("Kl/user.dat", test::ClientFile("Anna", "Beispiel"));
        tree.File("Kl/S1/sitzung.dat", test::SessionFile("Kurzform 3 vom 01.03.2024", test::kShortForm3, "0"));
    }
    static std::wstring TextOf(HWND window) { return test::TextOf(window); }
    const std::wstring kQuestion = L"Möchten Sie jetzt den Tarlavontest starten?|Starten";
};

TEST_F(StartQuestion, IsAskedOnlyWhenTheProgramIsFoundAndYesStartsItByItsExactPath) {
    Sessions();
    test::TempTree programs;
    // A program whose folder holds a blank: unquoted, Windows would start "Prog.exe" instead.
    InstallProgram(programs, "Prog Files/qrx.exe");
    InstallProgram(programs, "Prog.exe");
    WriteMaster(programs.Root() + "Prog Files\\Hilfe\\Verfahren\\QRX\\");
    const std::string program = platform::AbsolutePath(platform::ToUpper(programs.Root() + "Prog Files\\") + "qrx.exe");

    struct Case {
        const char* name;
        bool master;
        int answer;
        std::wstring question;
        bool closed;
    };
    const Case cases[] = {
        {"not found", false, IDYES, L"", false},
        {"No", true, IDNO, kQuestion, false},
        {"Yes", true, IDYES, kQuestion, true},
    };
    for (const Case& c : cases) {
        if (!c.master) fs::remove(master_folder / forms::kMasterFile);
        else WriteMaster(programs.Root() + "Prog Files\\Hilfe\\Verfahren\\QRX\\");
        Sessions();
        auto form = test::OpenMainWindow();
        EXPECT_EQ(RunAusfuehren(*form, c.answer), c.question) << c.name;
        EXPECT_EQ(form->Window() == nullptr, c.closed) << c.name;
        if (!c.closed) {
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(form->Window(), frmPatch72_01::cmdStart))) << c.name;
        }
        EXPECT_NE(tree.Read("Kl/S1/sitzung.dat").find("Normdaten=1"), std::string::npos) << c.name;
    }
    const std::vector<std::wstring> record = Record(programs.Fs("Prog Files"));
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(_wcsicmp(record[0].c_str(), test::Utf16(program).c_str()), 0) << test::Utf8(record[0]);
    EXPECT_EQ(record[1], L"\"" + test::Utf16(program) + L"\"");
    EXPECT_EQ(record[2], L"2");
    EXPECT_FALSE(fs::exists(programs.Fs("started.txt"))) << "Prog.exe must not run";
}

TEST_F(StartQuestion, ABareProgramNameStartsFromTheFolderItWasFoundIn) {
    Sessions();
    test::TempTree programs;
    InstallProgram(programs, "qrx.exe");
    WriteMaster("");
    SetCurrentDirectoryW(programs.Fs("").c_str());
    auto form = test::OpenMainWindow();
    EXPECT_EQ(RunAusfuehren(*form, IDYES), kQuestion);
    const std::vector<std::wstring> record = Record(programs.Fs(""));
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[1], L"\"" + test::Utf16(platform::AbsolutePath("qrx.exe")) + L"\"");
    EXPECT_EQ(form->Window(), nullptr);
}

TEST_F(StartQuestion, AStartThatFailsIsReportedAndTheWindowStaysOpen) {
    Sessions();
    test::TempTree programs;
    programs.File("Prog/qrx.exe", "kein Programm");
    WriteMaster(programs.Root() + "Prog\\Hilfe\\Verfahren\\QRX\\");
    auto form = test::OpenMainWindow();
    std::wstring report;
    HWND report_owner = nullptr;
    test::PreviewFolder(*form, tree.Root());
    test::WhenShown question(L"#32770", form->Window(), [](HWND box) { test::Press(GetDlgItem(box, IDYES)); }, L"Starten");
    test::WhenShown failure(L"#32770", form->Window(), [&](HWND box) {
        report = TextOf(box) + L"|" + TextOf(GetDlgItem(box, 0xFFFF));
        report_owner = GetWindow(box, GW_OWNER);
        test::Press(GetDlgItem(box, IDOK));
    }, L"frmpatch_72_01");
    SendMessageW(GetDlgItem(form->Window(), frmPatch72_01::cmdStart), BM_CLICK, 0, 0);
    ASSERT_NE(form->Window(), nullptr);
    EXPECT_EQ(report_owner, form->Window());
    EXPECT_TRUE(report.starts_with(L"frmpatch_72_01|")) << test::Utf8(report);
    EXPECT_NE(report.find(L"qrx.exe"), std::wstring::npos) << test::Utf8(report);
}

}  // namespace
}  // namespace vemor
