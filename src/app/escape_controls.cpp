#include "escape_controls.h"

#include "utf8.h"

namespace vemor {
namespace {

void AppendHex(std::string& out, std::string_view prefix, unsigned value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out += prefix;
    out += kDigits[(value >> 4) & 0xF];
    out += kDigits[value & 0xF];
}

}  // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t cp = platform::utf8::Next(text, pos);
        if (cp == platform::utf8::kInvalid)
            AppendHex(out, "\\x", static_cast<unsigned char>(text[start]));
        else if (cp < 0x20 || cp == 0x7F)
            AppendHex(out, "\\x", cp);
        else if (cp >= 0x80 && cp <= 0x9F)
            AppendHex(out, "\\u00", cp);
        else if (cp == '\\')
            out += "\\\\";
        else
            out.append(text.substr(start, pos - start));
    }
    return out;
}

std::string EscapePath(std::string_view path) {
#ifdef _WIN32
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('\\', start);
        out += EscapeControls(path.substr(start, end - start));
        if (end == std::string_view::npos) return out;
        out += '\\';
        start = end + 1;
    }
#else
    return EscapeControls(path);
#endif
}

}  // namespace vemor
