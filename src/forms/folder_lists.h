#pragma once

#include <windows.h>
#include <commctrl.h>

#include "gdi.h"

#include <functional>
#include <string>
#include <vector>

// The drive list and the directory list of the client directory dialog. Each announces a
// change of its selection, whether the user or the code made it, through on_change.
namespace vemor::forms {

class DriveList {
public:
    void Attach(HWND combo, HIMAGELIST pictures);
    std::wstring Drive() const;          // "c: [LABEL]", or "c:" without a label
    bool SetDrive(std::wstring_view text);  // by the first character; false: no such drive
    void OnUserSelection();              // CBN_SELCHANGE
    void Draw(const DRAWITEMSTRUCT& item) const;

    std::function<void()> on_change;

private:
    int Selected() const;
    HWND combo_ = nullptr;
    HIMAGELIST pictures_ = nullptr;
    int announced_ = -1;
};

class DirectoryList {
public:
    void Attach(HWND list, HIMAGELIST pictures);
    const std::wstring& Folder() const { return folder_; }  // no final "\" except at a root
    // A full folder path, or a drive as the drive list gives it ("c: [LABEL]"): then that
    // drive's current folder. False when the folder cannot be read.
    bool SetFolder(std::wstring_view path);
    void OpenSelected();  // a double-click or Enter on an entry
    void Draw(const DRAWITEMSTRUCT& item) const;

    std::function<void()> on_change;

private:
    void Fill();
    struct Entry {
        std::wstring path;
        int indent;
        bool open;
    };
    HWND list_ = nullptr;
    HIMAGELIST pictures_ = nullptr;
    std::wstring folder_;
    std::vector<Entry> entries_;
};

// The folder pictures in the order the lists use them: closed, open, drive.
OwnedImageList LoadFolderPictures(int dpi);

}  // namespace vemor::forms
