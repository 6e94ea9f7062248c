#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gdi.h"
#include "list_box_lines.h"
#include "window_proc.h"

namespace vemor::forms {

// The main window: the folder to scan, the result list and the four buttons. Its list box
// is the process's lstPatchSitzung while it exists.
class frmPatch72_01 {
public:
    enum Control {
        cmdStart = 201, cmdClose, Label1, Label2, Label3, lstPatchSitzung,
        txtPatchVerzeichnis, cmdChangePath, Label4, cmdRefresh
    };

    // Creates the window and runs its load handler (default folder, first preview); the
    // window is not shown yet.
    static std::unique_ptr<frmPatch72_01> Create();
    ~frmPatch72_01();
    frmPatch72_01(const frmPatch72_01&) = delete;
    frmPatch72_01& operator=(const frmPatch72_01&) = delete;

    void Show(int show_command);
    HWND Window() const { return window_; }

    // The keyboard of the window's message loop: Tab in the window's own order, Esc for
    // "Schließen". True when the message was handled here.
    bool TranslateKeys(MSG& message);

    // -1 when the host test program can be found through the master data file, else 0.
    std::int16_t FoundQRXExe();

    // Tests: called with the path of each entry the window's scans examine, just before.
    void WatchScans(std::function<void(const std::string&)> entry) { scan_entry_ = std::move(entry); }

private:
    frmPatch72_01() = default;
    template <class Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

    void CreateControls();
    void Load();
    void OnRefresh();
    void OnStart();
    void OnChangePath();
    void OnClose();
    // RefreshSessionList with the window kept alive; see Handle for what waits meanwhile.
    void Scan();
    // Finds the program again and starts it; false (after reporting why) when it did not start.
    bool StartQRXExe();

    HWND Item(Control id) const { return GetDlgItem(window_, id); }
    void MoveFocus(int step);
    void FocusFirstEnabled();

    HWND window_ = nullptr;
    HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
    ListBoxLines lines_;
    OwnedGdi<HFONT> title_font_;
    OwnedGdi<HFONT> text_font_;
    OwnedGdi<HFONT> bold_font_;
    OwnedGdi<HFONT> dialog_font_;
    OwnedGdi<HFONT> fallback_font_;  // for the characters of list lines that text_font_ lacks
    OwnedGdi<HBITMAP> refresh_picture_;
    bool scanning_ = false;
    std::vector<MSG> deferred_;  // commands and close requests that came during a scan
    std::function<void(const std::string&)> scan_entry_;
};

}  // namespace vemor::forms
