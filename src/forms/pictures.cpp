#include "pictures.h"

#include <cstdint>
#include <vector>

namespace vemor::forms {
namespace {

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return format;
}

}  // namespace

OwnedGdi<HBITMAP> LoadPicture(int id, int dpi) {
    const auto original = Own<OwnedGdi<HBITMAP>>(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    const auto dc = Own<OwnedDc>(CreateCompatibleDC(nullptr));
    BITMAP size{};
    if (!original || !dc || GetObjectW(original.get(), sizeof(size), &size) == 0) return {};
    const int width = size.bmWidth;
    const int height = size.bmHeight;
    std::vector<std::uint32_t> source(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    BITMAPINFO format = TopDown32(width, height);
    if (GetDIBits(dc.get(), original.get(), 0, static_cast<UINT>(height), source.data(), &format, DIB_RGB_COLORS) != height)
        return {};

    const int wide = MulDiv(width, dpi, 96);
    const int high = MulDiv(height, dpi, 96);
    format = TopDown32(wide, high);
    void* bits = nullptr;
    auto enlarged = Own<OwnedGdi<HBITMAP>>(CreateDIBSection(dc.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!enlarged) return {};
    // Every pixel takes the colour of the original pixel under its centre.
    auto* target = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < high; ++y) {
        const int from_y = (2 * y + 1) * height / (2 * high);
        for (int x = 0; x < wide; ++x)
            target[y * wide + x] = source[static_cast<std::size_t>(from_y * width + (2 * x + 1) * width / (2 * wide))];
    }
    return enlarged;
}

}  // namespace vemor::forms
