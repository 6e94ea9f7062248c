#pragma once

#include <windows.h>

namespace vemor::forms {

// Draws a line of an owner-drawn list box with strings as a plain list box draws it in font.
// Characters that font lacks are drawn in fallback, a face that has them or to which the
// system links one, so that no name shows boxes; a line the font covers looks as it always did.
void DrawListLine(const DRAWITEMSTRUCT& item, HFONT font, HFONT fallback) noexcept;

// The height a plain list box gives its lines in font.
int ListLineHeight(HFONT font);

}  // namespace vemor::forms
