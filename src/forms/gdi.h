#pragma once

#include <windows.h>
#include <commctrl.h>

#include "owned.h"

// Owners of the window system's drawing objects the windows create.
namespace vemor::forms {

template <typename Object>
using OwnedGdi = platform::Owned<Object, platform::CallTo<&DeleteObject>>;  // fonts, brushes, bitmaps
using OwnedDc = platform::Owned<HDC, platform::CallTo<&DeleteDC>>;
using OwnedImageList = platform::Owned<HIMAGELIST, platform::CallTo<&ImageList_Destroy>>;

struct ScreenDcReleaser {
    int operator()(HDC dc) const { return ReleaseDC(nullptr, dc); }
};
using OwnedScreenDc = platform::Owned<HDC, ScreenDcReleaser>;

// Owns what a creating call returned; a call that failed (null) leaves nothing to own.
template <typename Owner, typename Object>
Owner Own(Object object) {
    return object != nullptr ? Owner(object) : Owner();
}

}  // namespace vemor::forms
