#include "folder_lists.h"

#include <algorithm>
#include <cwctype>

#include "files.h"
#include "pictures.h"
#include "resources.h"
#include "window_text.h"
#include "utf16.h"

namespace vemor::forms {
namespace {

enum Picture { kClosed = 0, kOpen = 1, kDrive = 2 };

std::wstring FullPath(std::wstring_view path) {
    return platform::Utf16(platform::AbsolutePath(platform::Utf8(path)));
}

std::wstring WithoutFinalSeparator(std::wstring path) {
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// The subfolders of folder sorted by name, or nothing when it cannot be read.
bool ReadSubfolders(const std::wstring& folder, std::vector<std::wstring>& names) {
    const auto entries = platform::ListFolder(platform::WithSeparator(platform::Utf8(folder)), "*");
    if (!entries) return false;
    for (const platform::FolderEntry& entry : *entries) {
        if (entry.is_folder && !entry.is_hidden && entry.name != "." && entry.name != "..")
            names.push_back(platform::Utf16(entry.name));
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return true;
}

// An entry with its picture and text; selection colours come from the system, and the
// device context is left as it was found.
void DrawEntry(const DRAWITEMSTRUCT& item, HIMAGELIST pictures, int picture, int indent,
               const std::wstring& text) {
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF old_text = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const COLORREF old_back = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &item.rcItem, nullptr, 0, nullptr);

    int width = 0;
    int height = 0;
    ImageList_GetIconSize(pictures, &width, &height);
    const int left = item.rcItem.left + 2 + indent * (width / 2 + 2);
    const int top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - height) / 2;
    ImageList_Draw(pictures, picture, dc, left, top, ILD_TRANSPARENT);

    RECT text_area = item.rcItem;
    text_area.left = left + width + 3;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &item.rcItem);
    SetTextColor(dc, old_text);
    SetBkColor(dc, old_back);
}

}  // namespace

OwnedImageList LoadFolderPictures(int dpi) {
    const int size = MulDiv(16, dpi, 96);
    const int height = MulDiv(13, dpi, 96);
    auto list = Own<OwnedImageList>(ImageList_Create(size, height, ILC_COLOR24 | ILC_MASK, 3, 0));
    if (!list) return list;
    for (const int id : {IDB_FOLDER_CLOSED, IDB_FOLDER_OPEN, IDB_DRIVE}) {
        const OwnedGdi<HBITMAP> bitmap = LoadPicture(id, dpi);
        if (bitmap) ImageList_AddMasked(list.get(), bitmap.get(), kSeeThrough);
    }
    return list;
}

// ---- Drive list

void DriveList::Attach(HWND combo, HIMAGELIST pictures) {
    combo_ = combo;
    pictures_ = pictures;
    // An empty removable drive must not make the system ask for a disk.
    const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    wchar_t drives[512] = {};
    const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(drives)) - 1, drives);
    for (const wchar_t* root = drives; length > 0 && *root != L'\0'; root += wcslen(root) + 1) {
        std::wstring text{static_cast<wchar_t>(std::towlower(root[0])), L':'};
        wchar_t label[MAX_PATH + 1] = {};
        const UINT type = GetDriveTypeW(root);
        if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM &&
            GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) &&
            label[0] != L'\0')
            text += std::wstring(L" [") + label + L"]";
        SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SetErrorMode(old_mode);
    // A fresh drive list starts on the process's current drive.
    const std::wstring current = FullPath(L".");
    if (!current.empty()) {
        const int index = static_cast<int>(SendMessageW(combo_, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                                        reinterpret_cast<LPARAM>(current.substr(0, 2).c_str())));
        SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    announced_ = Selected();
}

int DriveList::Selected() const { return static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0)); }

std::wstring DriveList::Drive() const { return ItemText(combo_, CB_GETLBTEXTLEN, CB_GETLBTEXT, Selected()).value_or(L""); }

bool DriveList::SetDrive(std::wstring_view text) {
    if (text.empty() || !std::iswalpha(text[0])) return false;
    const wchar_t prefix[] = {static_cast<wchar_t>(std::towlower(text[0])), L':', L'\0'};
    const LRESULT index = SendMessageW(combo_, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(prefix));
    if (index == CB_ERR) return false;
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    OnUserSelection();
    return true;
}

void DriveList::OnUserSelection() {
    const int selected = Selected();
    if (selected == announced_) return;
    announced_ = selected;
    if (on_change) on_change();
}

void DriveList::Draw(const DRAWITEMSTRUCT& item) const {
    if (static_cast<int>(item.itemID) < 0) return;
    const int index = static_cast<int>(item.itemID);
    DrawEntry(item, pictures_, kDrive, 0, ItemText(combo_, CB_GETLBTEXTLEN, CB_GETLBTEXT, index).value_or(L""));
}

// ---- Directory list

void DirectoryList::Attach(HWND list, HIMAGELIST pictures) {
    list_ = list;
    pictures_ = pictures;
    // A fresh directory list starts on the process's current folder.
    folder_ = WithoutFinalSeparator(FullPath(L"."));
    Fill();
}

bool DirectoryList::SetFolder(std::wstring_view path) {
    // "c: [LABEL]" names drive c: and so its current folder, which "c:" resolves to.
    std::wstring target(path);
    if (target.size() >= 2 && target[1] == L':' && (target.size() == 2 || target[2] != L'\\'))
        target = target.substr(0, 2);
    const std::wstring full = WithoutFinalSeparator(FullPath(target));
    std::vector<std::wstring> names;
    if (full.empty() || !ReadSubfolders(full, names)) return false;
    if (CompareStringOrdinal(full.c_str(), -1, folder_.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    folder_ = full;
    Fill();
    if (on_change) on_change();
    return true;
}

void DirectoryList::Fill() {
    entries_.clear();
    // The folders from the root down to the current one, then its subfolders.
    std::wstring path = folder_.substr(0, std::min<std::size_t>(3, folder_.size()));
    entries_.push_back({path, 0, true});
    std::size_t start = path.size();
    while (start < folder_.size()) {
        const std::size_t end = std::min(folder_.find(L'\\', start), folder_.size());
        path = folder_.substr(0, end);
        entries_.push_back({path, static_cast<int>(entries_.size()), true});
        start = end + 1;
    }
    const int current = static_cast<int>(entries_.size()) - 1;
    std::vector<std::wstring> names;
    ReadSubfolders(folder_, names);
    const std::wstring parent = platform::Utf16(platform::WithSeparator(platform::Utf8(folder_)));
    for (const std::wstring& name : names) entries_.push_back({parent + name, current + 1, false});

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    for (const Entry& entry : entries_) {
        const std::size_t cut = entry.path.size() > 3 ? entry.path.rfind(L'\\') + 1 : 0;
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.path.substr(cut).c_str()));
    }
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void DirectoryList::OpenSelected() {
    const LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
    SetFolder(entries_[static_cast<std::size_t>(index)].path);
}

void DirectoryList::Draw(const DRAWITEMSTRUCT& item) const {
    if (static_cast<int>(item.itemID) < 0 || item.itemID >= entries_.size()) return;
    const Entry& entry = entries_[item.itemID];
    DrawEntry(item, pictures_, entry.open ? kOpen : kClosed, entry.indent,
              ItemText(list_, LB_GETTEXTLEN, LB_GETTEXT, static_cast<int>(item.itemID)).value_or(L""));
}

}  // namespace vemor::forms
