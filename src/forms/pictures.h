#pragma once

#include <windows.h>

#include "gdi.h"

// The program's pictures mark where the background shows through with exact magenta. They
// are drawn for 96 DPI and enlarged to the system's DPI pixel by pixel: blending neighbours,
// as a stretching load does, would leave a magenta fringe that no longer counts as see-through.
namespace vemor::forms {

inline constexpr COLORREF kSeeThrough = RGB(255, 0, 255);

// The bitmap resource id enlarged from its size at 96 DPI to dpi; empty when it cannot be read.
OwnedGdi<HBITMAP> LoadPicture(int id, int dpi);

}  // namespace vemor::forms
