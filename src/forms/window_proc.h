#pragma once

#include <windows.h>

namespace vemor::forms {

// The window procedure of a window class whose object travels in the creation parameter:
// stored at WM_NCCREATE, every later message goes to its Handle member.
template <class Form>
LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return form->Handle(message, wparam, lparam);
}

// Registers a form's window class once: white background, the program's icon.
void RegisterFormClass(const wchar_t* name, WNDPROC procedure);

// A form's window of its class: a client area of the size given in twips at the system's DPI,
// centred on the screen, with form handed to its window procedure. Null when it could not be
// made.
HWND CreateFormWindow(const wchar_t* class_name, const wchar_t* caption, int client_width, int client_height,
                      DWORD style, HWND owner, void* form);

template <class Form>
HWND CreateForm(Form& form, const wchar_t* class_name, const wchar_t* caption, int client_width,
                int client_height, DWORD style, HWND owner) {
    RegisterFormClass(class_name, FormWindowProc<Form>);
    return CreateFormWindow(class_name, caption, client_width, client_height, style, owner, &form);
}

// The 16 x 16 icon in the title bar of a form.
void SetFormIcon(HWND window);

}  // namespace vemor::forms
