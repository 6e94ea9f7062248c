// The user's number format, taken from the locale the C library would give the user; the
// program's own global locale stays "C".
#include <langinfo.h>
#include <locale.h>

#include <string_view>

#include "posix/number_format.h"
#include "utf8.h"

namespace vemor::platform::posix {
namespace {

// Windows knows no "C" locale; it and Wine read numbers there as en-US, so we do too.
bool IsPlainC(std::string_view name) {
    const std::string_view base = name.substr(0, name.find_first_of(".@"));
    return base == "C" || base == "POSIX";
}

bool IsUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();)
        if (utf8::Next(text, pos) == utf8::kInvalid) return false;
    return true;
}

// Windows takes one character of each separator. Locales in another character set than
// UTF-8 give only what is valid UTF-8, their ASCII separators.
std::string FirstCharacter(std::string_view text) {
    std::size_t end = 0;
    if (text.empty() || utf8::Next(text, end) == utf8::kInvalid) return {};
    return std::string(text.substr(0, end));
}

NumberFormat FormatOf(locale_t locale) {
    NumberFormat format;
    if (!IsPlainC(nl_langinfo_l(_NL_LOCALE_NAME(LC_NUMERIC), locale))) {
        format.decimal = FirstCharacter(nl_langinfo_l(RADIXCHAR, locale));
        format.grouping = FirstCharacter(nl_langinfo_l(THOUSEP, locale));
    }
    if (!IsPlainC(nl_langinfo_l(_NL_LOCALE_NAME(LC_MONETARY), locale))) {
        // Its first character only tells where the symbol stands, which reading ignores.
        const std::string_view symbol = nl_langinfo_l(CRNCYSTR, locale);
        format.currency = symbol.empty() || !IsUtf8(symbol) ? "" : std::string(symbol.substr(1));
    }
    return format;
}

NumberFormat ReadUserNumberFormat() {
    const locale_t locale = newlocale(LC_NUMERIC_MASK | LC_MONETARY_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return {};
    NumberFormat format = FormatOf(locale);
    freelocale(locale);
    return format;
}

NumberFormat& Cached() {
    static NumberFormat format = ReadUserNumberFormat();
    return format;
}

}  // namespace

const NumberFormat& UserNumberFormat() { return Cached(); }

void RereadUserNumberFormat() { Cached() = ReadUserNumberFormat(); }

}  // namespace vemor::platform::posix
