#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frmPatch72_01.h"

// Helpers that drive the real windows from inside the test process.
namespace vemor::test {

std::wstring TextOf(HWND window);
std::string Utf8(const std::wstring& text);
std::wstring Utf16(const std::string& text);

// The control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control);

// A rectangle given in pixels at 96 DPI, as the layout scales it to dpi.
RECT ScaledFrom96(RECT r, int dpi);

// The control as it draws itself into memory, wherever it lies on the screen.
struct Picture {
    int width = 0;
    std::vector<COLORREF> pixels;  // row by row
};
Picture PrintedPicture(HWND control);
// A colour that a see-through magenta leaves behind when a picture is blended as it is enlarged.
bool NearMagenta(COLORREF colour);

// The system DPI is read once, when a process starts. Runs the named tests (full names
// joined by ':') in a new process of this test program, started while the user's
// "LogPixels" setting is dpi; its exit code is 0 when every one of them ran and passed.
DWORD RunTestsAtDpi(int dpi, const std::string& tests);

// Handles the messages that are waiting, the main window's keys included.
void Pump(forms::frmPatch72_01* form = nullptr);
// A key pressed on the control that has the focus, handled as the program's loop does.
void PressKey(forms::frmPatch72_01& form, WPARAM key, bool shift = false);

// Runs action once on the first visible top-level window of this thread with the given
// class, owner and (if given) caption, found by a timer while a modal loop (dialog or message box) runs.
class WhenShown {
public:
    WhenShown(const wchar_t* window_class, HWND owner, std::function<void(HWND)> action,
              const wchar_t* caption = nullptr);
    ~WhenShown();
    bool Ran() const;

private:
    UINT_PTR timer_;
    void* wanted_;
};

// Presses a button of a message box or a dialog as a user would.
void Press(HWND button);

// The main window, created and shown; the load handler's preview has run.
std::unique_ptr<forms::frmPatch72_01> OpenMainWindow();

// Scans folder as the scan button does after the user typed it.
void PreviewFolder(forms::frmPatch72_01& form, const std::string& folder);

}  // namespace vemor::test
