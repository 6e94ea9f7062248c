#include <clocale>
#include <cwctype>
#include <locale.h>

#include "posix/number_format.h"
#include "text.h"
#include "utf8.h"

namespace vemor::platform {
namespace {

// The C.UTF-8 locale carries the full Unicode case table whatever the user's locale is.
locale_t UnicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

char32_t UpperOf(char32_t cp) {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    if (const locale_t locale = UnicodeLocale())
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
    // Without the locale at least Latin-1, which covers the suite's own code page letters.
    if ((cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)) return cp - 32;
    if (cp == 0xFF) return 0x178;
    return cp;
}

}  // namespace

std::string ToUpper(std::string_view text) {
    std::string out(text);
    // Names are mostly ASCII, which needs no decoding.
    std::size_t pos = 0;
    for (; pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80; ++pos)
        if (text[pos] >= 'a' && text[pos] <= 'z') out[pos] = static_cast<char>(text[pos] - 32);
    if (pos == text.size()) return out;
    out.resize(pos);
    while (pos < text.size()) {
        const std::size_t start = pos;
        const char32_t cp = utf8::Next(text, pos);
        if (cp == utf8::kInvalid) out += text[start];
        else utf8::Append(out, UpperOf(cp));
    }
    return out;
}

std::optional<double> TextToNumber(std::string_view text) {
    return TextToNumber(text, posix::UserNumberFormat());
}

}  // namespace vemor::platform
