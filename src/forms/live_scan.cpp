#include "live_scan.h"

#include "state.h"

namespace vemor::forms {
namespace {

constexpr ULONGLONG kDeliveryMilliseconds = 50;
constexpr ULONGLONG kRedrawMilliseconds = 250;
// WM_PAINT stays queued until its window is validated; one that never is must not hold the
// scan in this loop.
constexpr int kMostPaintsAtOnce = 64;

void SetRedraw(HWND list_box, bool on) { SendMessageW(list_box, WM_SETREDRAW, on ? TRUE : FALSE, 0); }

// The lines and the scroll bar as they are now, drawn at once: with its redraw off again, the
// list box would leave a later WM_PAINT undrawn.
void ShowLines(HWND list_box) {
    SetRedraw(list_box, true);
    RedrawWindow(list_box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    SetRedraw(list_box, false);
}

// Messages sent from other threads are handled inside PeekMessage whatever the filter, so
// only paint messages come back to be dispatched.
void DeliverPaintAndSentMessages() {
    MSG message{};
    for (int paints = 0; paints < kMostPaintsAtOnce &&
                         PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE);
         ++paints) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        DispatchMessageW(&message);
    }
}

// A close request that waits in the queue, left there for the window to act on once the scan
// is over: a click on "Schließen" or on the close box, or Esc as the first key pressed.
bool CloseRequested(HWND window, HWND close_button) {
    MSG message{};
    if (PeekMessageW(&message, close_button, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE | PM_NOYIELD)) return true;
    if (PeekMessageW(&message, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_NOREMOVE | PM_NOYIELD) &&
        message.wParam == HTCLOSE)
        return true;
    return PeekMessageW(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | PM_NOYIELD) &&
           message.wParam == VK_ESCAPE && (message.hwnd == window || IsChild(window, message.hwnd));
}

}  // namespace

LiveScan::LiveScan(HWND window, HWND close_button, HWND list_box)
    : window_(window), close_button_(close_button), list_box_(list_box), last_delivery_(GetTickCount64()),
      last_redraw_(last_delivery_) {
    SetRedraw(list_box_, false);
}

std::function<void()> LiveScan::AfterEachFolder() {
    return [this] {
        try {
            AfterFolder();
        } catch (...) {
            // The scan goes on; the next folder tries again.
        }
    };
}

LiveScan::~LiveScan() {
    SetRedraw(list_box_, true);
    RedrawWindow(list_box_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

void LiveScan::AfterFolder() {
    const ULONGLONG now = GetTickCount64();
    if (now - last_delivery_ < kDeliveryMilliseconds) return;
    if (now - last_redraw_ >= kRedrawMilliseconds) {
        ShowLines(list_box_);
        last_redraw_ = now;
    }
    DeliverPaintAndSentMessages();
    if (CloseRequested(window_, close_button_)) CancelScan = -1;
    last_delivery_ = GetTickCount64();
}

}  // namespace vemor::forms
