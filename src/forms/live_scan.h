#pragma once

#include <windows.h>

#include <functional>

namespace vemor::forms {

// While it lives, the scan lets the window system deliver paint messages and the messages
// other threads and processes send, at most every 50 ms, so the window stays painted and is
// never judged hung. Input and posted messages stay queued until the scan is over; but a
// click on "Schließen" or on the close box, or Esc, found waiting sets CancelScan, so that the
// scan ends before its next entry and the window then closes.
//
// The list box redraws only a few times a second meanwhile: repainting it and recomputing its
// scroll bar for every line added costs more than the scan itself.
class LiveScan {
public:
    LiveScan(HWND window, HWND close_button, HWND list_box);
    ~LiveScan();
    LiveScan(const LiveScan&) = delete;
    LiveScan& operator=(const LiveScan&) = delete;

    // For the scan to call after each folder.
    std::function<void()> AfterEachFolder();

private:
    void AfterFolder();

    HWND window_;
    HWND close_button_;
    HWND list_box_;
    ULONGLONG last_delivery_;
    ULONGLONG last_redraw_;
};

}  // namespace vemor::forms
