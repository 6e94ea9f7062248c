#include <windows.h>
#include <commctrl.h>

#include "dll_search.h"
#include "frmPatch72_01.h"

// The desktop program: one main window, its load handler has already run a first preview
// when it is shown.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
    vemor::platform::RestrictDllSearch();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    auto form = vemor::forms::frmPatch72_01::Create();
    if (!form) return 1;
    form->Show(show_command);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!form->TranslateKeys(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
