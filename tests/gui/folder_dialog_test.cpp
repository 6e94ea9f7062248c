#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "frmEinstellungenPath.h"
#include "gui/gui_support.h"
#include "layout.h"
#include "state.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using forms::frmEinstellungenPath;
using forms::frmPatch72_01;
using test::TextOf;
using test::Utf16;
using test::Utf8;

// What the dialog showed when it opened, and what the user does in it.
struct Seen {
    std::wstring caption;
    std::wstring text_box;
    std::wstring drive;
    std::wstring folder_entry;  // the highlighted entry of the directory list
    bool owner_enabled = true;
    bool ok_has_focus = false;
    bool text_box_enabled = true;
};

std::wstring SelectedText(HWND control, UINT get_selection, UINT get_text) {
    const LRESULT index = SendMessageW(control, get_selection, 0, 0);
    wchar_t text[MAX_PATH] = {};
    if (index >= 0) SendMessageW(control, get_text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

HWND DialogItem(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void OpenFolder(HWND dialog, const std::wstring& name) {
    const HWND list = DialogItem(dialog, frmEinstellungenPath::dirNewChangePath);
    const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(frmEinstellungenPath::dirNewChangePath, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
}

void PickDrive(HWND dialog, const wchar_t* letter) {
    const HWND drives = DialogItem(dialog, frmEinstellungenPath::drvNewChangePath);
    const LRESULT index = SendMessageW(drives, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(letter));
    SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(frmEinstellungenPath::drvNewChangePath, CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
}

void PressOk(HWND dialog) { test::Press(DialogItem(dialog, frmEinstellungenPath::cmdOk)); }
void PressAbbrechen(HWND dialog) { test::Press(DialogItem(dialog, frmEinstellungenPath::cmdAbbrechen)); }

// A timer's callback of its own: on 32-bit Windows a lambda cannot take the system's calling convention.
void CALLBACK PressOkOnce(HWND dialog, UINT, UINT_PTR timer, DWORD) {
    KillTimer(dialog, timer);
    PressOk(dialog);
}

class FolderDialog : public ::testing::Test {
protected:
    FolderDialog() {
        tree.Folder("Daten/Klienten/Anna");
        tree.Folder("Daten/Klienten/Bernd");
        tree.Folder("Woanders");
        // The directory list starts on the process's current folder: somewhere else.
        SetCurrentDirectoryW(Utf16(tree.Path("Woanders")).c_str());
    }

    // Opens the dialog through "..." with text in the folder box, lets the user act, and
    // returns what the folder box shows afterwards.
    std::string ChooseFolder(const std::string& text, const std::function<void(HWND)>& act) {
        SetWindowTextW(Item(frmPatch72_01::txtPatchVerzeichnis), Utf16(text).c_str());
        test::WhenShown shown(L"VemorFrmEinstellungenPath", form->Window(), [&](HWND dialog) {
            seen.caption = TextOf(dialog);
            seen.text_box = TextOf(DialogItem(dialog, frmEinstellungenPath::tbNewChangePath));
            seen.drive = SelectedText(DialogItem(dialog, frmEinstellungenPath::drvNewChangePath), CB_GETCURSEL, CB_GETLBTEXT);
            seen.folder_entry = SelectedText(DialogItem(dialog, frmEinstellungenPath::dirNewChangePath), LB_GETCURSEL, LB_GETTEXT);
            seen.owner_enabled = IsWindowEnabled(form->Window()) != FALSE;
            seen.ok_has_focus = GetFocus() == DialogItem(dialog, frmEinstellungenPath::cmdOk);
            seen.text_box_enabled = IsWindowEnabled(DialogItem(dialog, frmEinstellungenPath::tbNewChangePath)) != FALSE;
            act(dialog);
        });
        SendMessageW(Item(frmPatch72_01::cmdChangePath), BM_CLICK, 0, 0);
        EXPECT_TRUE(shown.Ran());
        return Utf8(TextOf(Item(frmPatch72_01::txtPatchVerzeichnis)));
    }

    HWND Item(frmPatch72_01::Control id) const { return GetDlgItem(form->Window(), id); }

    test::TempTree tree;
    std::unique_ptr<frmPatch72_01> form = test::OpenMainWindow();
    Seen seen;
};

TEST_F(FolderDialog, OkHandsBackTheFolderOfTheListsAndUnlocksTheFolderBox) {
    const std::string klienten = tree.Path("Daten/Klienten");
    struct Case {
        const char* name;
        std::string text;
        std::function<void(HWND)> act;
        std::wstring text_box_at_open;
        std::string result;
    };
    const Case cases[] = {
        {"existing folder", klienten + "\\", PressOk, Utf16(klienten), klienten + "\\"},
        {"subfolder opened", klienten + "\\", [](HWND d) { OpenFolder(d, L"Bernd"); PressOk(d); }, Utf16(klienten),
         klienten + "\\Bernd\\"},
        {"folder up opened", klienten, [](HWND d) { OpenFolder(d, L"Daten"); PressOk(d); }, Utf16(klienten),
         tree.Path("Daten") + "\\"},
        // A folder that cannot be read leaves the lists where they were and the text as given.
        {"missing folder", "C:\\gibt\\es\\nicht\\", PressOk, L"C:\\gibt\\es\\nicht\\", "C:\\gibt\\es\\nicht\\"},
        // Without a drive letter and a folder, the text box keeps the empty text.
        {"no drive letter", "", PressOk, L"", "\\"},
    };
    for (const Case& c : cases) {
        seen = {};
        EXPECT_EQ(ChooseFolder(c.text, c.act), c.result) << c.name;
        EXPECT_EQ(seen.caption, L"Klientenverzeichnis");
        EXPECT_EQ(seen.text_box, c.text_box_at_open) << c.name;
        EXPECT_FALSE(seen.owner_enabled) << c.name;
        EXPECT_TRUE(seen.ok_has_focus) << c.name;
        EXPECT_FALSE(seen.text_box_enabled) << c.name;
        EXPECT_EQ(NewChangePath, c.result) << c.name;
    }
    EXPECT_EQ(seen.drive.substr(0, 2), L"c:");
}

TEST_F(FolderDialog, AbbrechenTheCloseBoxAndEscKeepTheFolder) {
    const std::string klienten = tree.Path("Daten/Klienten");
    struct Case {
        const char* name;
        std::string text;
        std::function<void(HWND)> act;
        std::string result;
    };
    const Case cases[] = {
        {"Abbrechen after moving", klienten + "\\", [](HWND d) { OpenFolder(d, L"Anna"); PressAbbrechen(d); }, klienten + "\\"},
        {"close box", klienten, [](HWND d) { OpenFolder(d, L"Anna"); PostMessageW(d, WM_CLOSE, 0, 0); }, klienten + "\\"},
        {"Esc does nothing", klienten + "\\",
         [](HWND d) {
             PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
             OpenFolder(d, L"Anna");
             SetTimer(d, 1, 300, PressOkOnce);
         },
         klienten + "\\Anna\\"},
        {"empty text", "", PressAbbrechen, "\\"},
    };
    for (const Case& c : cases) {
        NewChangePath = "vorher";
        EXPECT_EQ(ChooseFolder(c.text, c.act), c.result) << c.name;
        const HWND text_box = Item(frmPatch72_01::txtPatchVerzeichnis);
        EXPECT_TRUE(IsWindowEnabled(text_box)) << c.name;
        EXPECT_EQ(GetWindowLongW(text_box, GWL_STYLE) & ES_READONLY, 0) << c.name;
        EXPECT_EQ(GetFocus(), text_box) << c.name;
        DWORD start = 1;
        DWORD end = 0;
        SendMessageW(text_box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u) << c.name;
        EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(text_box))) << c.name;
        EXPECT_TRUE(IsWindowEnabled(form->Window())) << c.name;
    }
}

TEST_F(FolderDialog, ADriveLeadsToItsCurrentFolderAndTheProcessFolderStaysPut) {
    // The per-drive current folder of z: is where the platform keeps it.
    SetEnvironmentVariableW(L"=Z:", L"Z:\\usr");
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    std::wstring text_after_pick;
    const std::string result = ChooseFolder(tree.Path("Daten/Klienten"), [&](HWND d) {
        PickDrive(d, L"z:");
        text_after_pick = TextOf(GetDlgItem(d, frmEinstellungenPath::tbNewChangePath));
        PressOk(d);
    });
    EXPECT_EQ(text_after_pick, L"Z:\\usr");
    EXPECT_EQ(result, "Z:\\usr\\");
    wchar_t after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before);
    SetEnvironmentVariableW(L"=Z:", nullptr);
}

TEST_F(FolderDialog, TheDriveListKeepsItsRowHeightAndThePicturesShowNoMagentaFringe) {
    RECT drive_list{};
    test::Picture drives;
    test::Picture folders;
    ChooseFolder(tree.Path("Daten/Klienten"), [&](HWND d) {
        drive_list = test::RectInParent(DialogItem(d, frmEinstellungenPath::drvNewChangePath));
        drives = test::PrintedPicture(DialogItem(d, frmEinstellungenPath::drvNewChangePath));
        folders = test::PrintedPicture(DialogItem(d, frmEinstellungenPath::dirNewChangePath));
        PressOk(d);
    });
    // Closed, the drive list is as high as its row of the layout, 315 twips.
    const RECT want = test::ScaledFrom96({7, 7, 304, 28}, forms::SystemDpi());
    EXPECT_TRUE(EqualRect(&drive_list, &want))
        << drive_list.left << "," << drive_list.top << "," << drive_list.right << "," << drive_list.bottom;
    struct Case {
        const char* name;
        const test::Picture& shown;
        COLORREF picture;  // a colour of the entries' pictures
    };
    const Case cases[] = {{"drive list", drives, RGB(176, 176, 176)}, {"directory list", folders, RGB(250, 216, 96)}};
    for (const Case& c : cases) {
        EXPECT_EQ(std::count_if(c.shown.pixels.begin(), c.shown.pixels.end(), test::NearMagenta), 0) << c.name;
        EXPECT_GT(std::count(c.shown.pixels.begin(), c.shown.pixels.end(), c.picture), 0) << c.name;
    }
}

TEST_F(FolderDialog, ChoosingAFolderNeitherRescansNorTouchesTheScanState) {
    tree.File("Daten/Klienten/Anna/user.dat", test::ClientFile("Anna", "Beispiel"));
    tree.File("Daten/Klienten/Anna/S/sitzung.dat", test::SessionFile("Kurzform 2 vom 01.03.2024", test::kShortForm2, "0"));
    test::PreviewFolder(*form, tree.Path("Daten/Klienten"));
    const std::string patch_path = PatchPath;
    const LRESULT lines = SendMessageW(Item(frmPatch72_01::lstPatchSitzung), LB_GETCOUNT, 0, 0);
    ChooseFolder(tree.Path("Woanders"), PressOk);
    EXPECT_EQ(PatchPath, patch_path);
    EXPECT_EQ(SendMessageW(Item(frmPatch72_01::lstPatchSitzung), LB_GETCOUNT, 0, 0), lines);
    EXPECT_TRUE(IsWindowEnabled(Item(frmPatch72_01::cmdStart)));
}

}  // namespace
}  // namespace vemor
