#include "list_line.h"

#include <string>
#include <vector>

#include "gdi.h"

namespace vemor::forms {
namespace {

constexpr WORD kNoGlyph = 0xFFFF;
// Where a plain list box begins a line's text, and leaves after it.
constexpr int kMargin = 1;

std::wstring LineText(const DRAWITEMSTRUCT& item) {
    const LRESULT length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
    return text;
}

// A stretch of the line whose characters the selected font either all has or all lacks.
struct Run {
    std::size_t start;
    std::size_t length;
    bool in_font;
};

std::vector<Run> Runs(HDC dc, const std::wstring& text) {
    std::vector<WORD> glyphs(text.size());
    if (text.empty() || GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return {{0, text.size(), true}};
    std::vector<Run> runs;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool in_font = glyphs[i] != kNoGlyph;
        if (runs.empty() || runs.back().in_font != in_font) runs.push_back({i, 0, in_font});
        ++runs.back().length;
    }
    return runs;
}

// Each run in its font, on the list font's baseline.
void DrawRuns(HDC dc, const RECT& area, const std::wstring& text, const std::vector<Run>& runs, HFONT font,
              HFONT fallback) {
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const UINT old_align = SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    int x = area.left + kMargin;
    for (const Run& run : runs) {
        SelectObject(dc, run.in_font || fallback == nullptr ? font : fallback);
        const wchar_t* part = text.c_str() + run.start;
        const int length = static_cast<int>(run.length);
        ExtTextOutW(dc, x, area.top + metrics.tmAscent, ETO_CLIPPED, &area, part, static_cast<UINT>(length), nullptr);
        SIZE size{};
        GetTextExtentPoint32W(dc, part, length, &size);
        x += size.cx;
    }
    SetTextAlign(dc, old_align);
}

}  // namespace

void DrawListLine(const DRAWITEMSTRUCT& item, HFONT font, HFONT fallback) noexcept {
    const HDC dc = item.hDC;
    const RECT& area = item.rcItem;
    if (item.itemAction == ODA_FOCUS || static_cast<int>(item.itemID) < 0) {
        if ((item.itemState & ODS_FOCUS) != 0 || item.itemAction == ODA_FOCUS) DrawFocusRect(dc, &area);
        return;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF old_back = selected ? SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT)) : GetBkColor(dc);
    const COLORREF old_text = selected ? SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT)) : GetTextColor(dc);
    if ((item.itemState & ODS_DISABLED) != 0) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    const HGDIOBJ old_font = SelectObject(dc, font);
    try {
        const std::wstring text = LineText(item);
        const std::vector<Run> runs = Runs(dc, text);
        // A line the font covers is drawn as the plain list box draws it, to the pixel.
        if (runs.size() == 1 && runs.front().in_font)
            ExtTextOutW(dc, area.left + kMargin, area.top, ETO_OPAQUE | ETO_CLIPPED, &area, text.c_str(),
                        static_cast<UINT>(text.size()), nullptr);
        else
            DrawRuns(dc, area, text, runs, font, fallback);
    } catch (...) {
        // Out of memory for one line's text: it stays blank until it is drawn again.
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
    }
    SelectObject(dc, old_font);
    SetBkColor(dc, old_back);
    SetTextColor(dc, old_text);
    if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &area);
}

int ListLineWidth(HDC dc, const std::wstring& text, HFONT font, HFONT fallback) {
    const HGDIOBJ old_font = SelectObject(dc, font);
    int width = 0;
    for (const Run& run : Runs(dc, text)) {
        SelectObject(dc, run.in_font || fallback == nullptr ? font : fallback);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str() + run.start, static_cast<int>(run.length), &size);
        width += size.cx;
    }
    SelectObject(dc, old_font);
    return kMargin + width + kMargin;
}

int ListLineHeight(HFONT font) {
    const auto dc = Own<OwnedScreenDc>(GetDC(nullptr));
    if (!dc) return 0;
    const HGDIOBJ old = SelectObject(dc.get(), font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    SelectObject(dc.get(), old);
    return metrics.tmHeight;
}

}  // namespace vemor::forms
