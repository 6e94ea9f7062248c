#include "frmEinstellungenPath.h"

#include <string>

#include "layout.h"
#include "state.h"
#include "white_button.h"
#include "utf16.h"
#include "window_proc.h"
#include "window_text.h"

namespace vemor::forms {
namespace {

constexpr const wchar_t* kClassName = L"VemorFrmEinstellungenPath";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kClientWidth = 4665;
constexpr int kClientHeight = 5955;

// In tab order: "Ok" first, so it holds the focus when the dialog opens.
constexpr ControlSpec kControls[] = {
    {frmEinstellungenPath::cmdOk, L"BUTTON", L"Ok", {2310, 5475, 1095, 375}, kWhiteButtonStyle},
    {frmEinstellungenPath::cmdAbbrechen, L"BUTTON", L"Abbrechen", {3465, 5475, 1095, 375}, kWhiteButtonStyle},
    {frmEinstellungenPath::drvNewChangePath, L"COMBOBOX", L"", {105, 105, 4455, 315},
     CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP},
    {frmEinstellungenPath::dirNewChangePath, L"LISTBOX", L"", {105, 465, 4455, 4590},
     LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP},
    {frmEinstellungenPath::tbNewChangePath, L"EDIT", L"", {105, 5130, 4455, 285},
     ES_AUTOHSCROLL | ES_READONLY | WS_DISABLED},
};

SIZE WindowSize(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// A closed combo box is its selection field within an edge, and only the field's height can
// be set. Systems differ in the edge, and not all make the field as high as it was set, so
// the edge is measured once a field is set, and the field then set to leave height.
void SetClosedHeight(HWND combo, int height) {
    const auto set_field = [combo](int field) {
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        return WindowSize(combo).cy - field;
    };
    const int edge = set_field(static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0)));
    set_field(height - edge);
}

}  // namespace

void frmEinstellungenPath::ShowModal(HWND owner) {
    frmEinstellungenPath dialog;
    const HWND window = CreateForm(dialog, kClassName, L"Klientenverzeichnis", kClientWidth, kClientHeight, kStyle, owner);
    if (window == nullptr) return;
    dialog.CreateControls();
    dialog.Load();

    // Modal: the owner takes no input until the dialog has closed.
    EnableWindow(owner, FALSE);
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, cmdOk));
    MSG message{};
    while (!dialog.closed_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
    // The owner is enabled first, so that it and not another program becomes active.
    EnableWindow(owner, TRUE);
    DestroyWindow(window);
}

void frmEinstellungenPath::CreateControls() {
    const int dpi = SystemDpi();
    font_ = Own<OwnedGdi<HFONT>>(CreateDialogFont());
    pictures_ = LoadFolderPictures(dpi);
    SetFormIcon(window_);
    for (const ControlSpec& spec : kControls) {
        const HWND control = CreateControl(window_, spec, dpi);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (spec.style == kWhiteButtonStyle) KeepDoubleClicksAsClicks(control);
    }
    const HWND drives = GetDlgItem(window_, drvNewChangePath);
    const HWND folders = GetDlgItem(window_, dirNewChangePath);
    text_box_ = GetDlgItem(window_, tbNewChangePath);
    // The height the drive list is given is that of its list when dropped down; closed, it
    // keeps the height of its row in the layout.
    SetWindowPos(drives, nullptr, 0, 0, WindowSize(drives).cx, Scale(2400, dpi), SWP_NOMOVE | SWP_NOZORDER);
    SetClosedHeight(drives, Scale(kControls[2].rect.height, dpi));
    SendMessageW(drives, CB_SETITEMHEIGHT, 0, MulDiv(18, dpi, 96));
    SendMessageW(folders, LB_SETITEMHEIGHT, 0, MulDiv(17, dpi, 96));

    drives_.Attach(drives, pictures_.get());
    folders_.Attach(folders, pictures_.get());
    drives_.on_change = [this] { folders_.SetFolder(drives_.Drive()); };
    folders_.on_change = [this] { SetWindowTextW(text_box_, folders_.Folder().c_str()); };
}

void frmEinstellungenPath::Load() {
    const std::wstring path = platform::Utf16(NewChangePath);
    SetWindowTextW(text_box_, path.c_str());
    drives_.SetDrive(path.substr(0, 3));
    folders_.SetFolder(path);
}

void frmEinstellungenPath::OnCommand(int id, int code) {
    switch (id) {
    case cmdOk:
        if (code != BN_CLICKED) return;
        NewChangePath = GetText(text_box_);
        Close();
        return;
    case cmdAbbrechen:
        if (code == BN_CLICKED) Close();
        return;
    case drvNewChangePath:
        if (code == CBN_SELCHANGE) drives_.OnUserSelection();
        return;
    case dirNewChangePath:
        if (code == LBN_DBLCLK) folders_.OpenSelected();
        return;
    case IDOK:
        // Enter opens the highlighted folder; no button is the default button.
        if (GetFocus() == GetDlgItem(window_, dirNewChangePath)) folders_.OpenSelected();
        return;
    default:
        return;  // IDCANCEL among them: Esc does not close the dialog
    }
}

void frmEinstellungenPath::Close() { closed_ = true; }

LRESULT frmEinstellungenPath::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wparam), HIWORD(wparam));
        return 0;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item.CtlID == drvNewChangePath) drives_.Draw(item);
        else if (item.CtlID == dirNewChangePath) folders_.Draw(item);
        else DrawWhiteButton(item, nullptr);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        // The disabled text box shows its text on the menu colour.
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_MENU));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_MENU));
    case WM_CLOSE:
        Close();
        return 0;
    default:
        return DefWindowProcW(window_, message, wparam, lparam);
    }
}

}  // namespace vemor::forms
