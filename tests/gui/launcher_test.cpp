#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <thread>

#include "files.h"
#include "gui/gui_support.h"
#include "modPatch72_01.h"
#include "qrx_launcher.h"
#include "state.h"
#include "support/temp_tree.h"
#include "text.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using forms::frmPatch72_01;

// The master data file in the prefix's application-data folder, removed again afterwards.
class Launcher : public ::testing::Test {
protected:
    Launcher() : master_folder(fs::path(test::Utf16(MasterFilePath())).parent_path()) {}
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
        fs::copy_file(tree.Fs("master.dat"), master_folder / kMasterFile);
    }
    // The stand-in program at a path relative to programs.
    static void InstallProgram(const test::TempTree& programs, const std::string& relative) {
        fs::create_directories(programs.Fs(relative).parent_path());
        fs::copy_file(VEMOR_FAKE_QRX, programs.Fs(relative));
    }
    // What the stand-in recorded in folder: its path, its command line and its show state.
    static std::vector<std::wstring> Record(const fs::path& folder) {
        const fs::path file = folder / "started.txt";
        // The stand-in renames its finished record into place: once it is there, it is whole.
        for (int i = 0; i < 100 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
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
        if (!c.master) fs::remove(master_folder / kMasterFile);
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

// A qrx.exe in the folder the tool was started from (Downloads, say) is whatever lies there:
// a value that is not absolute finds nothing, asks nothing and starts nothing.
TEST_F(StartQuestion, AFolderThatIsNotAbsoluteIsNotAsked) {
    test::TempTree programs;
    InstallProgram(programs, "qrx.exe");
    InstallProgram(programs, "QRX/qrx.exe");
    SetCurrentDirectoryW(programs.Fs("").c_str());
    for (const char* value : {"", ".\\", "qrx\\", "C:qrx\\", "C:qrx\\Hilfe\\Verfahren\\QRX\\"}) {
        Sessions();
        WriteMaster(value);
        auto form = test::OpenMainWindow();
        EXPECT_EQ(RunAusfuehren(*form, IDYES), L"") << value;
        EXPECT_NE(form->Window(), nullptr) << value;
    }
    EXPECT_FALSE(fs::exists(programs.Fs("started.txt")));
    EXPECT_FALSE(fs::exists(programs.Fs("QRX/started.txt")));
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
