#pragma once

#include <windows.h>

#include <string>

namespace vemor::forms {

// Draws a line of an owner-drawn list box with strings as a plain list box draws it in font.
// Characters that font lacks are drawn in fallback, a face that has them or to which the
// system links one, so that no name shows boxes; a line the font covers looks as it always did.
void DrawListLine(const DRAWITEMSTRUCT& item, HFONT font, HFONT fallback) noexcept;

// How far DrawListLine draws text from the left edge of its line, in font with the characters
// that font lacks in fallback: what the list box must let the user scroll to. dc is any device
// context of the screen's kind; its font is left as it was.
int ListLineWidth(HDC dc, const std::wstring& text, HFONT font, HFONT fallback);

// The height a plain list box gives its lines in font.
int ListLineHeight(HFONT font);

}  // namespace vemor::forms
