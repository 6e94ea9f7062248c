#pragma once

#include <windows.h>

#include "folder_lists.h"
#include "gdi.h"
#include "window_proc.h"

namespace vemor::forms {

// The client directory dialog: the folder travels in NewChangePath, which only "Ok" writes.
class frmEinstellungenPath {
public:
    enum Control { cmdOk = 101, cmdAbbrechen, drvNewChangePath, dirNewChangePath, tbNewChangePath };

    // Shows the dialog modally, owned by owner, and returns when it has closed.
    static void ShowModal(HWND owner);

    frmEinstellungenPath(const frmEinstellungenPath&) = delete;
    frmEinstellungenPath& operator=(const frmEinstellungenPath&) = delete;

private:
    frmEinstellungenPath() = default;
    ~frmEinstellungenPath() = default;
    template <class Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    void Load();
    void OnCommand(int id, int code);
    void Close();

    HWND window_ = nullptr;
    HWND text_box_ = nullptr;
    OwnedGdi<HFONT> font_;
    OwnedImageList pictures_;
    DriveList drives_;
    DirectoryList folders_;
    bool closed_ = false;
};

}  // namespace vemor::forms
