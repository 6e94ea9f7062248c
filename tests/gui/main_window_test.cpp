#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "gui/gui_support.h"
#include "layout.h"
#include "modPatch72_01.h"
#include "modSpezial.h"
#include "scan_sessions.h"
#include "state.h"
#include "support/result_text.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using forms::frmPatch72_01;
using test::TextOf;

struct ControlCase {
    frmPatch72_01::Control id;
    const wchar_t* text;
    RECT at_96_dpi;  // the twips of the layout divided by 15
    const wchar_t* font_face;  // nullptr: the system's dialog font
    int centipoints;
    bool bold;
};

const ControlCase kControls[] = {
    {frmPatch72_01::Label1, L"Tarlavontest  / Patch 72.01", {10, 8, 507, 45}, L"MS Sans Serif", 1350, true},
    {frmPatch72_01::Label3, L"Der Patch korrigiert die Normwertberechnung der Standardverfahren Kurzform 1/2/3 deutsch.",
     {10, 35, 602, 55}, L"MS Sans Serif", 975, false},
    {frmPatch72_01::Label2, L"Verzeichnis:", {12, 55, 568, 73}, L"MS Sans Serif", 975, false},
    {frmPatch72_01::txtPatchVerzeichnis, nullptr, {10, 73, 538, 98}, L"MS Sans Serif", 975, false},
    {frmPatch72_01::cmdChangePath, L"...", {536, 73, 566, 98}, nullptr, 0, false},
    {frmPatch72_01::cmdRefresh, L"", {568, 73, 599, 98}, L"MS Sans Serif", 975, false},
    {frmPatch72_01::Label4, L"Liste enthält Sitzungen von Klienten, die korrigiert werden können.",
     {12, 102, 511, 120}, L"MS Sans Serif", 975, true},
    {frmPatch72_01::lstPatchSitzung, L"", {10, 121, 600, 205}, L"MS Sans Serif", 975, false},
    {frmPatch72_01::cmdStart, L"Ausführen", {372, 211, 504, 237}, L"MS Sans Serif", 975, false},
    {frmPatch72_01::cmdClose, L"Schließen", {508, 211, 599, 237}, L"MS Sans Serif", 975, false},
};

std::vector<std::string> Lines(const frmPatch72_01& form) {
    const HWND list = GetDlgItem(form.Window(), frmPatch72_01::lstPatchSitzung);
    std::vector<std::string> lines;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        lines.push_back(test::Utf8(text));
    }
    return lines;
}

struct TooltipSearch {
    HWND owner;
    std::vector<std::wstring>* texts;
};

// A callback of its own: on 32-bit Windows a lambda cannot take the system's calling convention.
BOOL CALLBACK AddTooltipText(HWND tip, LPARAM lparam) {
    auto& s = *reinterpret_cast<TooltipSearch*>(lparam);
    wchar_t name[64] = {};
    GetClassNameW(tip, name, 64);
    if (wcscmp(name, TOOLTIPS_CLASSW) != 0 || GetWindow(tip, GW_OWNER) != s.owner) return TRUE;
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.lpszText = text;
    if (SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) {
        s.texts->push_back(std::wstring(1, static_cast<wchar_t>(GetDlgCtrlID(reinterpret_cast<HWND>(tool.uId)))) + text);
    }
    return TRUE;
}

std::vector<std::wstring> TooltipTexts(HWND window) {
    std::vector<std::wstring> texts;
    TooltipSearch search{window, &texts};
    EnumThreadWindows(GetCurrentThreadId(), AddTooltipText, reinterpret_cast<LPARAM>(&search));
    return texts;
}

class MainWindow : public ::testing::Test {
protected:
    void TearDown() override { SetErrorPresenter(nullptr); }
    HWND Item(frmPatch72_01::Control id) const { return GetDlgItem(form->Window(), id); }

    test::TempTree tree;
    std::unique_ptr<frmPatch72_01> form = test::OpenMainWindow();
};

TEST_F(MainWindow, LoadsTheDocumentsFolderAndIsLaidOutInTwipsScaledToTheDpi) {
    ASSERT_TRUE(form);
    const HWND window = form->Window();
    EXPECT_EQ(TextOf(window), L"Vemor Patch 72.01");
    EXPECT_EQ(test::Utf8(TextOf(Item(frmPatch72_01::txtPatchVerzeichnis))), GetPersonalPath() + "Eigene Diagnostik\\");
    EXPECT_EQ(PatchPath, GetPersonalPath() + "Eigene Diagnostik\\");
    EXPECT_EQ(CancelScan.load(), 0);
    EXPECT_GE(Lines(*form).size(), 1u);

    const int dpi = forms::SystemDpi();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, MulDiv(611, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(246, dpi, 96));
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1);
    EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 1);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);

    for (const ControlCase& c : kControls) {
        const HWND control = Item(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        if (c.text != nullptr) {
            EXPECT_EQ(TextOf(control), c.text) << c.id;
        }
        const RECT want = test::ScaledFrom96(c.at_96_dpi, dpi);
        const RECT got = test::RectInParent(control);
        EXPECT_TRUE(EqualRect(&got, &want)) << c.id << ": " << got.left << "," << got.top << "," << got.right << "," << got.bottom;
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        if (c.font_face == nullptr) continue;
        EXPECT_STREQ(font.lfFaceName, c.font_face) << c.id;
        EXPECT_EQ(font.lfHeight, -MulDiv(c.centipoints, dpi, 7200)) << c.id;
        EXPECT_EQ(font.lfWeight, c.bold ? FW_BOLD : FW_NORMAL) << c.id;
    }
    EXPECT_NE(GetWindowLongW(Item(frmPatch72_01::txtPatchVerzeichnis), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_FALSE(IsWindowEnabled(Item(frmPatch72_01::txtPatchVerzeichnis)));
    EXPECT_EQ(GetWindowLongW(Item(frmPatch72_01::lstPatchSitzung), GWL_STYLE) & LBS_SORT, 0);
}

// Where colour appears in picture; empty when nowhere.
RECT Extent(const test::Picture& picture, COLORREF colour) {
    RECT extent{};
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        if (picture.pixels[i] != colour) continue;
        const RECT pixel{static_cast<LONG>(i % picture.width), static_cast<LONG>(i / picture.width),
                         static_cast<LONG>(i % picture.width) + 1, static_cast<LONG>(i / picture.width) + 1};
        UnionRect(&extent, &extent, &pixel);
    }
    return extent;
}

TEST_F(MainWindow, TheScanButtonShowsItsPictureEnlargedWithoutAMagentaFringe) {
    const test::Picture button = test::PrintedPicture(Item(frmPatch72_01::cmdRefresh));
    ASSERT_FALSE(button.pixels.empty());
    EXPECT_EQ(std::count_if(button.pixels.begin(), button.pixels.end(), test::NearMagenta), 0);
    // The sheet's outline spans the whole picture: 15 x 20 pixels at 96 DPI.
    const RECT outline = Extent(button, RGB(96, 96, 96));
    const int dpi = forms::SystemDpi();
    EXPECT_EQ(outline.right - outline.left, MulDiv(15, dpi, 96));
    EXPECT_EQ(outline.bottom - outline.top, MulDiv(20, dpi, 96));
}

// The system DPI is fixed for a process: the tests of the layout and the pictures run again
// in processes that see other DPIs than the prefix's.
TEST(OtherDpis, TheWindowsScaleTheirLayoutAndPicturesAlike) {
    const std::string pictures =
        "MainWindow.TheScanButtonShowsItsPictureEnlargedWithoutAMagentaFringe:"
        "FolderDialog.TheDriveListKeepsItsRowHeightAndThePicturesShowNoMagentaFringe";
    const std::string layout = "MainWindow.LoadsTheDocumentsFolderAndIsLaidOutInTwipsScaledToTheDpi:" + pictures;
    // At 192 DPI the main window is wider than the test screen, and no window outgrows its screen.
    const std::pair<int, std::string> runs[] = {{120, layout}, {144, layout}, {192, pictures}};
    for (const auto& [dpi, tests] : runs) EXPECT_EQ(test::RunTestsAtDpi(dpi, tests), 0u) << dpi << " DPI";
}

TEST_F(MainWindow, ButtonsShowTheirTooltips) {
    std::vector<std::wstring> texts = TooltipTexts(form->Window());
    std::sort(texts.begin(), texts.end());
    const std::vector<std::wstring> expected = {
        std::wstring(1, static_cast<wchar_t>(frmPatch72_01::cmdChangePath)) +
            L"Ermöglicht die Änderung des nebenstehenden Verzeichnisses.",
        std::wstring(1, static_cast<wchar_t>(frmPatch72_01::cmdRefresh)) +
            L"Durchsucht das nebenstehende Verzeichnis nach Sitzungen für diesen Patch.",
    };
    EXPECT_EQ(texts, expected);
}

TEST_F(MainWindow, PreviewListsTheSessionsAndEnablesAusfuehrenOnlyForMoreThanOneLine) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> lines;
        bool start_enabled;
        bool scrolls_sideways = false;    // a line is wider than the list box
        const wchar_t* folder = nullptr;  // a tree of the repository instead of the files
    };
    const std::string long_label = "Kurzform 1 vom 01.03.2024, Wiederholung nach der Sprachtherapie im Herbst mit Elternfragebogen";
    const Case cases[] = {
        {"one session", {{"A/user.dat", test::ClientFile("Anna", "Beispiel")},
                         {"A/S1/sitzung.dat", test::SessionFile("Kurzform 1 vom 01.03.2024", test::kShortForm1, "0")}},
         {"Anna Beispiel", test::Pending("Kurzform 1 vom 01.03.2024")}, true},
        {"already patched", {{"A/user.dat", test::ClientFile("Anna", "Beispiel")},
                             {"A/S1/sitzung.dat", test::SessionFile("Kurzform 1 vom 01.03.2024", test::kShortForm1, "1")}},
         {test::NoSession(1)}, false},
        {"empty folder", {}, {test::NoSession(0)}, false},
        {"demo tree", {},
         {"Anna Beispiel", test::Pending("Kurzform 1 vom 01.03.2024"),
          "J\xC3\xBCrgen M\xC3\xBCller", test::Pending("Erstdiagnostik M\xC3\xA4rz 2024"),
          "\xC5\x81ucja Kowalska", test::Pending("Kurzform 1 vom 01.12.2023"),
          "\xC5\x9E\xC3\xBCkr\xC3\xBC Y\xC4\xB1lmaz", test::Pending("Kurzform 2 vom 12.09.2024")},
         true, false, VEMOR_DEMO_TREE},
        {"a long label", {{"A/user.dat", test::ClientFile("Anna", "Beispiel")},
                          {"A/S1/sitzung.dat", test::SessionFile(long_label, test::kShortForm1, "0")}},
         {"Anna Beispiel", test::Pending(long_label)}, true, true},
    };
    const HWND list = Item(frmPatch72_01::lstPatchSitzung);
    for (const Case& c : cases) {
        test::TempTree client_tree;
        for (const auto& [path, bytes] : c.files) client_tree.File(path, bytes);
        const std::string folder = c.folder ? test::Utf8(c.folder) : client_tree.Root();
        test::PreviewFolder(*form, folder);
        EXPECT_EQ(Lines(*form), c.lines) << c.name;
        EXPECT_EQ(IsWindowEnabled(Item(frmPatch72_01::cmdStart)) != FALSE, c.start_enabled) << c.name;
        // The scan button takes the text box's text as it is.
        EXPECT_EQ(PatchPath, folder) << c.name;
        // A scroll bar only for a line wider than the list box, reaching as far as it is drawn.
        SCROLLBARINFO bar{};
        bar.cbSize = sizeof(bar);
        GetScrollBarInfo(list, OBJID_HSCROLL, &bar);
        EXPECT_EQ((bar.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0, c.scrolls_sideways) << c.name;
        if (!c.scrolls_sideways) continue;
        const std::wstring widest = test::Utf16(c.lines.back());
        const HDC dc = GetDC(list);
        const HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
        SIZE drawn{};
        GetTextExtentPoint32W(dc, widest.c_str(), static_cast<int>(widest.size()), &drawn);
        SelectObject(dc, old_font);
        ReleaseDC(list, dc);
        const LRESULT extent = SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0);
        EXPECT_GT(extent, drawn.cx) << c.name;
        EXPECT_LE(extent, drawn.cx + 4) << c.name;
    }
}

std::vector<HCURSOR> cursors_while_listing;

LRESULT CALLBACK RecordCursor(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    if (message == LB_ADDSTRING) cursors_while_listing.push_back(GetCursor());
    return DefSubclassProc(list, message, wparam, lparam);
}

TEST_F(MainWindow, ShowsTheWaitCursorDuringAPreviewOnly) {
    tree.File("A/user.dat", test::ClientFile("Anna", "Beispiel"));
    tree.File("A/S1/sitzung.dat", test::SessionFile("Kurzform 1 vom 01.03.2024", test::kShortForm1, "0"));
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    test::PreviewFolder(*form, tree.Root());
    SetWindowSubclass(Item(frmPatch72_01::lstPatchSitzung), RecordCursor, 1, 0);

    struct Case {
        frmPatch72_01::Control button;
        HCURSOR while_listing;
    };
    for (const Case& c : {Case{frmPatch72_01::cmdRefresh, wait}, Case{frmPatch72_01::cmdStart, arrow}}) {
        cursors_while_listing.clear();
        SetCursor(arrow);
        SendMessageW(Item(c.button), BM_CLICK, 0, 0);
        ASSERT_EQ(cursors_while_listing.size(), 2u) << c.button;
        for (const HCURSOR cursor : cursors_while_listing) EXPECT_EQ(cursor, c.while_listing) << c.button;
        EXPECT_EQ(GetCursor(), arrow) << c.button;
    }
    RemoveWindowSubclass(Item(frmPatch72_01::lstPatchSitzung), RecordCursor, 1);
}

TEST_F(MainWindow, FocusStartsOnTheFirstEnabledControlAndTabFollowsTheOrder) {
    using W = frmPatch72_01;
    EXPECT_EQ(GetFocus(), Item(W::cmdClose));  // "Ausführen" is disabled after an empty preview
    tree.File("A/user.dat", test::ClientFile("Anna", "Beispiel"));
    tree.File("A/S1/sitzung.dat", test::SessionFile("Kurzform 1 vom 01.03.2024", test::kShortForm1, "0"));
    test::PreviewFolder(*form, tree.Root());
    auto second = test::OpenMainWindow();
    EXPECT_EQ(GetFocus(), GetDlgItem(second->Window(), W::cmdClose)) << "a second window starts with its own preview";
    second.reset();
    SetForegroundWindow(form->Window());
    SetFocus(Item(W::cmdStart));

    struct Case {
        bool shift;
        std::vector<W::Control> order;
    };
    const Case cases[] = {
        // The text box is disabled until the first use of "...".
        {false, {W::cmdClose, W::lstPatchSitzung, W::cmdChangePath, W::cmdRefresh, W::cmdStart}},
        {true, {W::cmdRefresh, W::cmdChangePath, W::lstPatchSitzung, W::cmdClose, W::cmdStart}},
    };
    for (const Case& c : cases) {
        for (const W::Control expected : c.order) {
            test::PressKey(*form, VK_TAB, c.shift);
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), expected) << (c.shift ? "Shift+Tab" : "Tab");
        }
    }
    EnableWindow(Item(W::txtPatchVerzeichnis), TRUE);
    SetFocus(Item(W::lstPatchSitzung));
    test::PressKey(*form, VK_TAB);
    EXPECT_EQ(GetFocus(), Item(W::txtPatchVerzeichnis));
}

TEST_F(MainWindow, EnterPressesNoButtonAndEscPressesSchliessen) {
    SetFocus(Item(frmPatch72_01::cmdClose));
    const std::vector<std::string> before = Lines(*form);
    test::PressKey(*form, VK_RETURN);
    ASSERT_NE(form->Window(), nullptr);
    EXPECT_EQ(Lines(*form), before);
    SetFocus(Item(frmPatch72_01::lstPatchSitzung));
    test::PressKey(*form, VK_ESCAPE);
    EXPECT_EQ(form->Window(), nullptr);
    EXPECT_EQ(CancelScan.load(), -1);
}

TEST_F(MainWindow, TheCloseBoxClosesWithoutCancellingAScan) {
    SendMessageW(form->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form->Window(), nullptr);
    EXPECT_EQ(CancelScan.load(), 0);
    EXPECT_EQ(lstPatchSitzung, nullptr);
}

TEST_F(MainWindow, SchliessenSetsCancelScanAndCloses) {
    SendMessageW(Item(frmPatch72_01::cmdClose), BM_CLICK, 0, 0);
    EXPECT_EQ(form->Window(), nullptr);
    EXPECT_EQ(CancelScan.load(), -1);
}

// ---- During a scan

// Client "Anna Beispiel" with sessions S0, S1, ... that all wait for the patch.
void PendingSessions(const test::TempTree& tree, int sessions) {
    tree.File("A/user.dat", test::ClientFile("Anna", "Beispiel"));
    for (int i = 0; i < sessions; ++i) {
        const std::string name = std::string("S").append(std::to_string(i));
        tree.File("A/" + name + "/sitzung.dat", test::SessionFile("Kurzform 1 " + name, test::kShortForm1, "0"));
    }
}

// Calls action with each entry the window's scans examine while it lives.
class ScanHook {
public:
    ScanHook(frmPatch72_01& form, std::function<void()> action) : form_(form) {
        form_.WatchScans([action](const std::string&) { action(); });
    }
    ~ScanHook() { form_.WatchScans(nullptr); }
    ScanHook(const ScanHook&) = delete;
    ScanHook& operator=(const ScanHook&) = delete;

private:
    frmPatch72_01& form_;
};

// A command waits until the scan is over; a request to close ends the scan before its next
// entry, and the window then closes. A patch scan ended so leaves each file original or patched.
TEST_F(MainWindow, WhatOtherThreadsSendDuringAScanWaitsUntilItIsOverButAClose) {
    using W = frmPatch72_01;
    struct Case {
        const char* name;
        std::function<void(HWND)> send;
        bool patch_scan_after;
        bool closes;         // and ends the scan at once
        bool during_patch = false;  // sent during the patch scan rather than a preview
    };
    const auto click = [](int button) { return [button](HWND w) { SendMessageW(GetDlgItem(w, button), BM_CLICK, 0, 0); }; };
    const Case cases[] = {
        {"a click on Ausführen", click(W::cmdStart), true, false},
        {"Ausführen's command", [](HWND w) {
             SendMessageW(w, WM_COMMAND, MAKEWPARAM(W::cmdStart, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, W::cmdStart)));
         }, true, false},
        {"a click on Schließen", click(W::cmdClose), false, true},
        {"Esc", [](HWND w) { SendMessageW(w, WM_COMMAND, IDCANCEL, 0); }, false, true},
        {"a close request", [](HWND w) { SendMessageW(w, WM_CLOSE, 0, 0); }, false, true},
        {"a click on Schließen during Ausführen", click(W::cmdClose), false, true, true},
    };
    constexpr std::size_t kPreviewLines = 7;  // the client and 6 sessions
    for (const Case& c : cases) {
        test::TempTree sessions;
        PendingSessions(sessions, 6);
        auto window = test::OpenMainWindow();
        test::PreviewFolder(*window, sessions.Root());  // enables "Ausführen"
        const HWND main = window->Window();

        std::atomic<bool> sending = false;
        std::atomic<bool> delivered = false;
        std::thread sender;
        std::vector<std::int16_t> modes;  // ApplyPatch at each entry examined
        std::size_t after_delivery = 0;   // entries examined once the message was handled
        bool list_gone = false;
        {
            const ScanHook hook(*window, [&] {
                modes.push_back(ApplyPatch);
                after_delivery += delivered;
                list_gone = list_gone || lstPatchSitzung == nullptr;
                // During Ausführen once a few sessions are patched.
                const std::size_t first = c.during_patch ? 6 : 0;
                if (!sender.joinable() && (ApplyPatch != 0) == c.during_patch && modes.size() > first) {
                    sender = std::thread([&] {
                        sending = true;
                        c.send(main);
                        delivered = true;
                    });
                    // Waiting for the scan from here on, not for the thread to start, nor for
                    // a sender slowed by a loaded machine to reach this thread's queue after the
                    // scan's last delivery.
                    while (!sending) Sleep(1);
                    for (int waited = 0; waited < 5000 && !delivered && !(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE); ++waited)
                        Sleep(1);
                }
                Sleep(30);
            });
            SendMessageW(GetDlgItem(main, c.during_patch ? W::cmdStart : W::cmdRefresh), BM_CLICK, 0, 0);
            EXPECT_TRUE(delivered) << c.name << ": answered during the scan";
            const std::size_t scan_entries = modes.size();
            EXPECT_EQ(std::count(modes.begin(), modes.end(), c.during_patch ? -1 : 0), static_cast<std::ptrdiff_t>(scan_entries))
                << c.name << ": nothing else ran inside the scan";
            EXPECT_FALSE(list_gone) << c.name;
            EXPECT_TRUE(IsWindow(main)) << c.name;
            if (c.closes) {
                EXPECT_EQ(after_delivery, 0u) << c.name << ": the scan ended before its next entry";
                EXPECT_LT(Lines(*window).size(), kPreviewLines) << c.name;
            } else {
                EXPECT_EQ(Lines(*window).size(), kPreviewLines) << c.name;
            }
            EXPECT_EQ(sessions.Read("A/S0/sitzung.dat"),
                      test::SessionFile("Kurzform 1 S0", test::kShortForm1, c.during_patch ? "1" : "0")) << c.name;
            if (c.during_patch) {
                EXPECT_EQ(sessions.Read("A/S5/sitzung.dat"), test::SessionFile("Kurzform 1 S5", test::kShortForm1, "0"))
                    << c.name << ": the scan ended before it";
            }

            test::Pump(window.get());
            sender.join();
            EXPECT_EQ(modes.size(), scan_entries * (c.patch_scan_after ? 2 : 1)) << c.name << ": handled once, after";
        }
        EXPECT_EQ(!IsWindow(main), c.closes) << c.name;
        if (c.closes) {
            EXPECT_EQ(CancelScan.load(), -1) << c.name;
        }
        for (int i = 0; i < 6; ++i) {
            const std::string label = std::string("Kurzform 1 S").append(std::to_string(i));
            const std::string file = sessions.Read(std::string("A/S").append(std::to_string(i)).append("/sitzung.dat"));
            if (c.during_patch) {
                EXPECT_TRUE(file == test::SessionFile(label, test::kShortForm1, "0") ||
                            file == test::SessionFile(label, test::kShortForm1, "1")) << c.name << ": " << file;
            } else {
                EXPECT_EQ(file, test::SessionFile(label, test::kShortForm1, c.patch_scan_after ? "1" : "0")) << c.name;
            }
        }
    }
}

TEST_F(MainWindow, ALongScanAnswersOtherThreadsAtOnceAndIsNeverJudgedHung) {
    // About 200 entries of 27 ms: longer than the 5 s after which a window counts as hung.
    PendingSessions(tree, 50);
    const HWND main = form->Window();
    const HWND list = Item(frmPatch72_01::lstPatchSitzung);
    std::atomic<bool> over = false;
    int asked = 0;
    int unanswered = 0;
    int judged_hung = 0;
    std::set<DWORD_PTR> counts;
    std::thread watcher([&] {
        while (!over) {
            DWORD_PTR count = 0;
            ++asked;
            if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, nullptr)) ++unanswered;
            if (IsHungAppWindow(main)) ++judged_hung;
            if (SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 500, &count)) counts.insert(count);
            Sleep(100);
        }
    });
    {
        const ScanHook slow(*form, [] { Sleep(27); });
        test::PreviewFolder(*form, tree.Root());
    }
    over = true;
    watcher.join();
    EXPECT_GE(asked, 15);
    EXPECT_EQ(unanswered, 0);
    EXPECT_EQ(judged_hung, 0);
    EXPECT_GE(counts.size(), 5u) << "the line count grows as the scan goes on";
    EXPECT_EQ(Lines(*form).size(), 51u);
}

// What a scan leaves in the list box, as a user and other programs see it.
struct ListState {
    std::vector<std::string> lines;
    LRESULT selection = LB_ERR;
    LRESULT top = LB_ERR;
    SCROLLINFO scroll{};
    test::Picture picture;
};

ListState StateOf(const frmPatch72_01& form) {
    const HWND list = GetDlgItem(form.Window(), frmPatch72_01::lstPatchSitzung);
    ListState state;
    state.lines = Lines(form);
    state.selection = SendMessageW(list, LB_GETCURSEL, 0, 0);
    state.top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    state.scroll.cbSize = sizeof(state.scroll);
    state.scroll.fMask = SIF_ALL;
    GetScrollInfo(list, SB_VERT, &state.scroll);
    state.picture = test::PrintedPicture(list);
    return state;
}

std::vector<LRESULT> counts_painted;

LRESULT CALLBACK RecordPaint(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    if (message == WM_PAINT) counts_painted.push_back(SendMessageW(list, LB_GETCOUNT, 0, 0));
    return DefSubclassProc(list, message, wparam, lparam);
}

TEST_F(MainWindow, TheListShowsItsLinesAsTheyComeAndEndsAsAScanWithoutPaintingLeftIt) {
    for (const char* client : {"A", "B", "C"}) {
        tree.File(std::string(client) + "/user.dat", test::ClientFile(client, "Beispiel"));
        for (int i = 0; i < 8; ++i)
            tree.File(std::string(client) + "/S" + std::to_string(i) + "/sitzung.dat",
                      test::SessionFile("Kurzform 2 Nr. " + std::to_string(i), test::kShortForm2, "0"));
    }
    const HWND list = Item(frmPatch72_01::lstPatchSitzung);
    const auto scrolled_and_selected = [&] {
        SendMessageW(list, LB_SETCURSEL, 2, 0);
        SendMessageW(list, LB_SETTOPINDEX, 4, 0);
    };
    test::PreviewFolder(*form, tree.Root());

    // The scan straight into the list box, which takes no message meanwhile.
    scrolled_and_selected();
    SessionCount = 0;
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    PatchPath = tree.Root();
    ApplyPatch = 0;
    RefreshSessionList();
    test::Pump(form.get());
    const ListState unpainted = StateOf(*form);
    ASSERT_EQ(unpainted.lines.size(), 27u);

    scrolled_and_selected();
    counts_painted.clear();
    SetWindowSubclass(list, RecordPaint, 1, 0);
    {
        const ScanHook slow(*form, [] { Sleep(10); });
        test::PreviewFolder(*form, tree.Root());
    }
    RemoveWindowSubclass(list, RecordPaint, 1);
    EXPECT_TRUE(std::any_of(counts_painted.begin(), counts_painted.end(), [](LRESULT n) { return n > 0 && n < 27; }))
        << "painted while lines were added";

    const ListState painted = StateOf(*form);
    EXPECT_EQ(painted.lines, unpainted.lines);
    EXPECT_EQ(painted.selection, unpainted.selection);
    EXPECT_EQ(painted.top, unpainted.top);
    EXPECT_EQ(painted.scroll.nMin, unpainted.scroll.nMin);
    EXPECT_EQ(painted.scroll.nMax, unpainted.scroll.nMax);
    EXPECT_EQ(painted.scroll.nPage, unpainted.scroll.nPage);
    EXPECT_EQ(painted.scroll.nPos, unpainted.scroll.nPos);
    EXPECT_TRUE(painted.picture.pixels == unpainted.picture.pixels) << "the list box and its scroll bar look alike";
}

// ---- Drawing the lines

// A plain list box over the program's, with its size and the given font: the program's list
// as it was before it drew its lines itself.
HWND PlainListOver(HWND list, HFONT font) {
    const RECT r = test::RectInParent(list);
    const HWND plain = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                       WS_CHILD | WS_VISIBLE | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, r.left,
                                       r.top, r.right - r.left, r.bottom - r.top, GetParent(list), nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    SendMessageW(plain, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return plain;
}

void SetLines(HWND list, const std::vector<std::wstring>& lines) {
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& line : lines) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

// Line index as the list box draws it.
test::Picture LinePicture(HWND list, int index) {
    const test::Picture whole = test::PrintedPicture(list);
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    POINT client{0, 0};
    ClientToScreen(list, &client);
    RECT frame{};
    GetWindowRect(list, &frame);
    test::Picture line;
    line.width = item.right - item.left;
    for (int y = item.top; y < item.bottom; ++y)
        for (int x = item.left; x < item.right; ++x)
            line.pixels.push_back(whole.pixels[static_cast<std::size_t>((y + client.y - frame.top) * whole.width + x + client.x - frame.left)]);
    return line;
}

// The smallest part of a line drawn with one character that holds every pixel unlike the
// background, the colour at its left edge. The character is at the start; a list box
// without its scroll bar leaves the last columns of a line to its frame under Wine.
test::Picture Ink(const test::Picture& picture) {
    const int height = static_cast<int>(picture.pixels.size()) / picture.width;
    const COLORREF background = picture.pixels.front();
    RECT ink{picture.width, height, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < picture.width / 2; ++x)
            if (picture.pixels[static_cast<std::size_t>(y * picture.width + x)] != background)
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
    test::Picture part;
    part.width = std::max<LONG>(ink.right - ink.left, 0);
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x) part.pixels.push_back(picture.pixels[static_cast<std::size_t>(y * picture.width + x)]);
    return part;
}

bool Contains(const test::Picture& big, const test::Picture& small) {
    if (small.pixels.empty()) return false;
    const int big_height = static_cast<int>(big.pixels.size()) / big.width;
    const int small_height = static_cast<int>(small.pixels.size()) / small.width;
    for (int top = 0; top + small_height <= big_height; ++top) {
        for (int left = 0; left + small.width <= big.width; ++left) {
            bool same = true;
            for (int y = 0; y < small_height && same; ++y)
                same = std::equal(small.pixels.begin() + y * small.width, small.pixels.begin() + (y + 1) * small.width,
                                  big.pixels.begin() + (top + y) * big.width + left);
            if (same) return true;
        }
    }
    return false;
}

TEST_F(MainWindow, ListLinesAreDrawnAsAPlainListBoxDrawsThemAndWithEveryCharacter) {
    struct Case {
        const wchar_t* line;
        const wchar_t* lacking;  // the characters "MS Sans Serif" lacks
        bool selected;
    };
    const Case cases[] = {
        {L"Anna Beispiel", L"", false},
        {L"  >> Kurzform 1 vom 01.03.2024    [Patch ausführen (0)]", L"", true},
        {L"Jürgen Müller, Weiß & Söhne: ÄÖÜ äöü ß € „“ – © ½", L"", false},
        {L"Keine Sitzung für diesen Patch gefunden (0 von 0) ", L"", false},
        {L"Łucja Kowalska", L"Ł", false},
        {L"Şükrü Yılmaz", L"Şı", false},
    };
    const HWND list = Item(frmPatch72_01::lstPatchSitzung);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    LOGFONTW list_font{};
    GetObjectW(font, sizeof(list_font), &list_font);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    // The dialog's font, which has them, at the list's size.
    LOGFONTW face = metrics.lfMessageFont;
    face.lfHeight = list_font.lfHeight;
    face.lfWeight = FW_NORMAL;
    const HFONT face_font = CreateFontIndirectW(&face);
    const HWND plain = PlainListOver(list, font);
    const HWND plain_in_face = PlainListOver(list, face_font);
    const HDC dc = GetDC(list);
    const HGDIOBJ old_font = SelectObject(dc, font);

    for (const Case& c : cases) {
        const std::wstring line = c.line;
        const std::wstring lacking = c.lacking;
        std::vector<WORD> glyphs(line.size());
        GetGlyphIndicesW(dc, line.c_str(), static_cast<int>(line.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
        for (std::size_t i = 0; i < line.size(); ++i)
            ASSERT_EQ(glyphs[i] == 0xFFFF, lacking.find(line[i]) != std::wstring::npos)
                << test::Utf8(line) << " at " << i << ": the prefix needs the window fonts of scripts/gui.sh";

        // The plain lists also hold each lacking character alone, after the line.
        std::vector<std::wstring> plain_lines{line};
        for (const wchar_t character : lacking) plain_lines.emplace_back(1, character);
        SetLines(list, {line});
        SetLines(plain, plain_lines);
        SetLines(plain_in_face, plain_lines);
        for (const HWND l : {list, plain}) SendMessageW(l, LB_SETCURSEL, c.selected ? 0 : static_cast<WPARAM>(-1), 0);
        EXPECT_EQ(Lines(*form), std::vector<std::string>{test::Utf8(line)});

        const test::Picture drawn = LinePicture(list, 0);
        if (lacking.empty()) {
            EXPECT_TRUE(drawn.pixels == LinePicture(plain, 0).pixels) << test::Utf8(line);
            continue;
        }
        EXPECT_FALSE(drawn.pixels == LinePicture(plain, 0).pixels) << test::Utf8(line);
        for (std::size_t i = 0; i < lacking.size(); ++i) {
            const int alone = static_cast<int>(i) + 1;
            EXPECT_FALSE(Contains(drawn, Ink(LinePicture(plain, alone)))) << test::Utf8(line) << ": a box for " << i;
            EXPECT_TRUE(Contains(drawn, Ink(LinePicture(plain_in_face, alone)))) << test::Utf8(line) << ": the glyph " << i;
        }
    }
    SelectObject(dc, old_font);
    ReleaseDC(list, dc);
    DestroyWindow(plain);
    DestroyWindow(plain_in_face);
    DeleteObject(face_font);
}

}  // namespace
}  // namespace vemor
