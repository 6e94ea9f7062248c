#include "frmPatch72_01.h"

#include <string>
#include <utility>

#include "error_report.h"
#include "failures.h"
#include "files.h"
#include "frmEinstellungenPath.h"
#include "layout.h"
#include "list_line.h"
#include "live_scan.h"
#include "modPatch72_01.h"
#include "modSpezial.h"
#include "pictures.h"
#include "qrx_launcher.h"
#include "report_words.h"
#include "resources.h"
#include "state.h"
#include "white_button.h"
#include "window_text.h"

namespace vemor::forms {
namespace {

constexpr const wchar_t* kClassName = L"VemorFrmPatch72_01";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kClientWidth = 9165;
constexpr int kClientHeight = 3690;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

enum class Font { kWindow, kTitle, kText, kBold };

struct MainControl {
    ControlSpec spec;
    Font font;
};

// In tab order.
constexpr MainControl kControls[] = {
    {{frmPatch72_01::cmdStart, L"BUTTON", L"Ausführen", {5580, 3165, 1980, 390}, kWhiteButtonStyle | WS_DISABLED}, Font::kText},
    {{frmPatch72_01::cmdClose, L"BUTTON", L"Schließen", {7620, 3165, 1365, 390}, kWhiteButtonStyle}, Font::kText},
    {{frmPatch72_01::Label1, L"STATIC", L"Tarlavontest  / Patch 72.01", {150, 120, 7455, 555}, kLabel}, Font::kTitle},
    {{frmPatch72_01::Label2, L"STATIC", L"Verzeichnis:", {180, 825, 8340, 270}, kLabel}, Font::kText},
    {{frmPatch72_01::Label3, L"STATIC",
      L"Der Patch korrigiert die Normwertberechnung der Standardverfahren Kurzform 1/2/3 deutsch.",
      {150, 525, 8880, 300}, kLabel}, Font::kText},
    {{frmPatch72_01::lstPatchSitzung, L"LISTBOX", L"", {150, 1815, 8850, 1260},
      LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP},
     Font::kText},
    {{frmPatch72_01::txtPatchVerzeichnis, L"EDIT", L"", {150, 1095, 7920, 375},
      ES_AUTOHSCROLL | ES_READONLY | WS_DISABLED | WS_TABSTOP}, Font::kText},
    {{frmPatch72_01::cmdChangePath, L"BUTTON", L"...", {8040, 1095, 450, 375}, kWhiteButtonStyle}, Font::kWindow},
    {{frmPatch72_01::Label4, L"STATIC", L"Liste enthält Sitzungen von Klienten, die korrigiert werden können.",
      {180, 1530, 7485, 270}, kLabel}, Font::kBold},
    {{frmPatch72_01::cmdRefresh, L"BUTTON", L"", {8520, 1095, 465, 375}, kWhiteButtonStyle}, Font::kText},
};

constexpr frmPatch72_01::Control kTabOrder[] = {
    frmPatch72_01::cmdStart, frmPatch72_01::cmdClose, frmPatch72_01::lstPatchSitzung,
    frmPatch72_01::txtPatchVerzeichnis, frmPatch72_01::cmdChangePath, frmPatch72_01::cmdRefresh};

bool IsLabel(int id) {
    return id == frmPatch72_01::Label1 || id == frmPatch72_01::Label2 || id == frmPatch72_01::Label3 ||
           id == frmPatch72_01::Label4;
}

}  // namespace

std::unique_ptr<frmPatch72_01> frmPatch72_01::Create() {
    std::unique_ptr<frmPatch72_01> form(new frmPatch72_01());
    CreateForm(*form, kClassName, L"Vemor Patch 72.01", kClientWidth, kClientHeight, kStyle, nullptr);
    if (form->window_ == nullptr) return nullptr;
    form->CreateControls();
    form->Load();
    return form;
}

frmPatch72_01::~frmPatch72_01() {
    // The window goes first: its controls use the fonts until then.
    if (window_ != nullptr) DestroyWindow(window_);
}

void frmPatch72_01::CreateControls() {
    const int dpi = SystemDpi();
    title_font_ = Own<OwnedGdi<HFONT>>(CreateSansSerif(1350, true, dpi));
    text_font_ = Own<OwnedGdi<HFONT>>(CreateSansSerif(975, false, dpi));
    bold_font_ = Own<OwnedGdi<HFONT>>(CreateSansSerif(975, true, dpi));
    dialog_font_ = Own<OwnedGdi<HFONT>>(CreateDialogFont());
    fallback_font_ = Own<OwnedGdi<HFONT>>(CreateDialogFace(975, dpi));
    refresh_picture_ = LoadPicture(IDB_REFRESH, dpi);
    SetFormIcon(window_);
    const HFONT fonts[] = {dialog_font_.get(), title_font_.get(), text_font_.get(), bold_font_.get()};
    for (const MainControl& control : kControls) {
        const HWND item = CreateControl(window_, control.spec, dpi);
        SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[static_cast<int>(control.font)]), FALSE);
        if (control.spec.style & BS_OWNERDRAW) KeepDoubleClicksAsClicks(item);
    }
    // The text box reaches under "..." : the button lies above it.
    SetWindowPos(Item(cmdChangePath), GetWindow(Item(txtPatchVerzeichnis), GW_HWNDPREV), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AddTooltip(window_, Item(cmdChangePath), L"Ermöglicht die Änderung des nebenstehenden Verzeichnisses.");
    AddTooltip(window_, Item(cmdRefresh), L"Durchsucht das nebenstehende Verzeichnis nach Sitzungen für diesen Patch.");
    // Owner-drawn for the characters its font lacks, its lines as high as a plain list box's.
    SendMessageW(Item(lstPatchSitzung), LB_SETITEMHEIGHT, 0, ListLineHeight(text_font_.get()));
    lines_.Attach(Item(lstPatchSitzung), text_font_.get(), fallback_font_.get());
    vemor::lstPatchSitzung = &lines_;
}

void frmPatch72_01::Show(int show_command) {
    ShowWindow(window_, show_command);
    UpdateWindow(window_);
    FocusFirstEnabled();
}

// ---- Handlers

void frmPatch72_01::Load() {
    SkipFailure([] { CancelScan = 0; });
    SkipFailure([] { PatchPath = DefaultClientFolder(); });
    SkipFailure([&] { SetText(Item(txtPatchVerzeichnis), PatchPath); });
    OnRefresh();
}

void frmPatch72_01::OnRefresh() {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SkipFailure([] { SessionCount = 0; });
    SkipFailure([&] { lines_.Clear(); });
    SkipFailure([&] { PatchPath = GetText(Item(txtPatchVerzeichnis)); });
    SkipFailure([] { ApplyPatch = 0; });
    Scan();
    EnableWindow(Item(cmdStart), lines_.Count() > 1);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void frmPatch72_01::OnStart() {
    SkipFailure([] { SessionCount = 0; });
    SkipFailure([&] { lines_.Clear(); });
    SkipFailure([] { ApplyPatch = -1; });
    Scan();
    // Closed during the scan: the window goes once the request waiting for the scan is handled.
    if (CancelScan != 0) return;
    // The focus must not stay on the button that is disabled now.
    if (GetFocus() == Item(cmdStart)) SetFocus(Item(cmdClose));
    EnableWindow(Item(cmdStart), FALSE);
    if (FoundQRXExe() == 0) return;
    if (MessageBoxW(window_, L"Möchten Sie jetzt den Tarlavontest starten?", L"Starten",
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) != IDYES)
        return;
    if (StartQRXExe()) DestroyWindow(window_);
}

void frmPatch72_01::Scan() {
    scanning_ = true;
    {
        LiveScan live(window_, Item(cmdClose), Item(lstPatchSitzung));
        ScanObservers observers;
        observers.progress = live.AfterEachFolder();
        observers.entry = scan_entry_;
        // What became of writes an earlier run left part-way, and a file a write left damaged, are
        // shown once the list is done.
        std::string recovered;
        observers.report = [&recovered](const ScanReport& report) {
            try {
                if (report.Recovery() || report.Damaged()) recovered += report.path + ": " + DescribeReport(report) + "\n";
            } catch (...) {
                recovered = "(out of memory)";
            }
        };
        SkipFailure([&] { RefreshSessionList(observers); });
        if (!recovered.empty()) ShowReport(recovered);
    }
    scanning_ = false;
    for (const MSG& message : std::exchange(deferred_, {}))
        PostMessageW(window_, message.message, message.wParam, message.lParam);
}

void frmPatch72_01::OnChangePath() {
    const HWND text_box = Item(txtPatchVerzeichnis);
    SkipFailure([&] { NewChangePath = GetText(text_box); });
    SkipFailure([&] { frmEinstellungenPath::ShowModal(window_); });
    SkipFailure([] { NewChangePath = platform::WithSeparator(std::move(NewChangePath)); });
    SkipFailure([&] { SetText(text_box, NewChangePath); });
    SendMessageW(text_box, EM_SETREADONLY, FALSE, 0);
    EnableWindow(text_box, TRUE);
    SetFocus(text_box);
    SendMessageW(text_box, EM_SETSEL, 0, GetWindowTextLengthW(text_box));
}

void frmPatch72_01::OnClose() {
    CancelScan = -1;
    DestroyWindow(window_);
}

// ---- Host test program

std::int16_t frmPatch72_01::FoundQRXExe() {
    try {
        return LocateQrx().found ? -1 : 0;
    } catch (...) {
        return 0;
    }
}

bool frmPatch72_01::StartQRXExe() {
    try {
        const QrxLocation location = LocateQrx();
        if (!location.found)
            throw FileNotFound(kProgramFile);
        StartProgram(location.program_path);
        return true;
    } catch (...) {
        ShowError(CaughtFailure(), kShow);
        return false;
    }
}

// ---- Keyboard and focus

bool frmPatch72_01::TranslateKeys(MSG& message) {
    const bool into_window = message.hwnd == window_ || IsChild(window_, message.hwnd);
    if (into_window && message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
        GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
        SendMessageW(window_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        MoveFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
        return true;
    }
    return IsDialogMessageW(window_, &message) != FALSE;
}

void frmPatch72_01::MoveFocus(int step) {
    constexpr int count = static_cast<int>(std::size(kTabOrder));
    int at = 0;
    while (at < count && Item(kTabOrder[at]) != GetFocus()) ++at;
    if (at == count) at = step > 0 ? -1 : 0;
    for (int tried = 0; tried < count; ++tried) {
        at = (at + step + count) % count;
        const HWND next = Item(kTabOrder[at]);
        if (IsWindowEnabled(next) && IsWindowVisible(next)) {
            SetFocus(next);
            if (kTabOrder[at] == txtPatchVerzeichnis) SendMessageW(next, EM_SETSEL, 0, -1);
            return;
        }
    }
}

void frmPatch72_01::FocusFirstEnabled() {
    for (const Control id : kTabOrder) {
        if (IsWindowEnabled(Item(id))) {
            SetFocus(Item(id));
            return;
        }
    }
}

// ---- Messages

namespace {

// "Schließen", Esc (IDCANCEL) and the close box: what asks the window to close.
bool AsksToClose(UINT message, WPARAM wparam) {
    if (message == WM_CLOSE) return true;
    return message == WM_COMMAND && (LOWORD(wparam) == IDCANCEL ||
                                     (LOWORD(wparam) == frmPatch72_01::cmdClose && HIWORD(wparam) == BN_CLICKED));
}

}  // namespace

LRESULT frmPatch72_01::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    // During a scan only messages sent from other threads or processes reach the window (a
    // click sent to a button becomes a WM_COMMAND here), and a message box the scan shows may
    // dispatch posted ones. No handler may start then, nor the window close under the scan:
    // they wait, in order, and are posted again when the scan is over. A request to close ends
    // the scan first, before its next entry.
    if (scanning_ && (message == WM_COMMAND || message == WM_CLOSE)) {
        if (AsksToClose(message, wparam)) CancelScan = -1;
        deferred_.push_back({window_, message, wparam, lparam, 0, {}});
        return 0;
    }
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        const bool clicked = HIWORD(wparam) == BN_CLICKED;
        if (id == IDCANCEL) OnClose();  // Esc presses "Schließen"
        else if (id == cmdRefresh && clicked) OnRefresh();
        else if (id == cmdStart && clicked) OnStart();
        else if (id == cmdChangePath && clicked) OnChangePath();
        else if (id == cmdClose && clicked) OnClose();
        return 0;  // IDOK among the rest: Enter presses no button
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item.CtlID == lstPatchSitzung) DrawListLine(item, text_font_.get(), fallback_font_.get());
        else DrawWhiteButton(item, item.CtlID == cmdRefresh ? refresh_picture_.get() : nullptr);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (!IsLabel(GetDlgCtrlID(reinterpret_cast<HWND>(lparam)))) break;
        SetBkColor(reinterpret_cast<HDC>(wparam), kWhite);
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_ACTIVATE:
        if (LOWORD(wparam) == WA_INACTIVE) {
            focus_ = GetFocus();
        } else if (focus_ != nullptr && IsChild(window_, focus_) && IsWindowEnabled(focus_)) {
            SetFocus(focus_);
        } else {
            FocusFirstEnabled();
        }
        return 0;
    case WM_DESTROY:
        if (vemor::lstPatchSitzung == &lines_) vemor::lstPatchSitzung = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        const HWND window = window_;
        window_ = nullptr;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    default:
        break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

}  // namespace vemor::forms
