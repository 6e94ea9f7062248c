#include "posix/ini_document.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "utf8.h"

namespace vemor::platform::posix {
namespace {

// Windows-1252 bytes 0x80-0x9F; the five unassigned bytes map to the control characters
// of the same value, as Windows converts them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromCp1252(char16_t byte) {
    return (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : byte;
}

char16_t ToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char16_t>(cp);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == cp) return static_cast<char16_t>(0x80 + i);
    return u'?';
}

bool IsBlank(char16_t unit) { return unit == ' ' || unit == '\t' || unit == '\v' || unit == '\f'; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

// Skips four units at a time while none of them could end a line (all above "\r"), so that
// the long lines of a profile file cost little to split.
std::size_t SkipAboveLineEnds(const char16_t* units, std::size_t pos, std::size_t size) {
    constexpr std::uint64_t kLow = 0x000E000E000E000EULL;   // a unit below 0x0E borrows ...
    constexpr std::uint64_t kHigh = 0x8000800080008000ULL;  // ... into its top bit
    for (; pos + 4 <= size; pos += 4) {
        std::uint64_t four;
        std::memcpy(&four, units + pos, sizeof four);
        if (((four - kLow) & ~four & kHigh) != 0) break;
    }
    return pos;
}

bool IsAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

IniDocument::IniDocument(const std::string& bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        encoding_ = Encoding::Utf8;
        bom_units_ = 3;
    } else if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        encoding_ = Encoding::Utf16LE;
    } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        encoding_ = Encoding::Utf16BE;
    }
    if (encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE) {
        const bool little = encoding_ == Encoding::Utf16LE;
        bom_units_ = 1;
        units_.resize(bytes.size() / 2);
        for (std::size_t i = 0; i < units_.size(); ++i) {
            const auto low = little ? byte(2 * i) : byte(2 * i + 1);
            const auto high = little ? byte(2 * i + 1) : byte(2 * i);
            units_[i] = static_cast<char16_t>(low | (high << 8));
        }
        // An odd trailing byte cannot be a unit; it is kept so that a rewrite loses nothing.
        if (bytes.size() % 2 != 0) trailing_byte_ = bytes.back();
    } else {
        units_.resize(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) units_[i] = static_cast<char16_t>(byte(i));
    }
    Parse();
}

std::string IniDocument::Bytes() const {
    std::string out;
    if (encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE) {
        out.reserve(units_.size() * 2 + 1);
        for (const char16_t unit : units_) {
            const char low = static_cast<char>(unit & 0xFF);
            const char high = static_cast<char>(unit >> 8);
            if (encoding_ == Encoding::Utf16LE) { out += low; out += high; }
            else { out += high; out += low; }
        }
        if (trailing_byte_) out += *trailing_byte_;
    } else {
        out.reserve(units_.size());
        for (const char16_t unit : units_) out += static_cast<char>(unit);
    }
    return out;
}

void IniDocument::Parse() {
    lines_.clear();
    const char16_t* const units = units_.data();
    const std::size_t size = units_.size();
    std::size_t begin = bom_units_;
    while (begin < size) {
        std::size_t end = SkipAboveLineEnds(units, begin, size);
        while (end < size && units[end] != u'\r' && units[end] != u'\n') ++end;
        std::size_t next = end;
        if (next < size && units[next] == '\r') ++next;
        if (next < size && units[next] == '\n' && (next == end || units[end] == '\r')) ++next;
        lines_.push_back(ParseLine(begin, end, next));
        begin = next;
    }
}

IniDocument::Line IniDocument::ParseLine(std::size_t begin, std::size_t end,
                                         std::size_t next) const {
    Line line{begin, end, next, 0, 0, 0, 0, Kind::Blank, false};
    std::size_t first = begin;
    std::size_t last = end;
    while (first < last && IsBlank(units_[first])) ++first;
    while (last > first && IsBlank(units_[last - 1])) --last;
    if (first == last) return line;
    if (units_[first] == ';') {
        line.kind = Kind::Comment;
        return line;
    }
    if (units_[first] == '[') {
        std::size_t close = first + 1;
        while (close < last && units_[close] != ']') ++close;
        line.kind = Kind::Section;
        line.name_begin = first + 1;
        line.name_end = close;
        while (line.name_begin < line.name_end && IsBlank(units_[line.name_begin])) ++line.name_begin;
        while (line.name_end > line.name_begin && IsBlank(units_[line.name_end - 1])) --line.name_end;
        return line;
    }
    line.kind = Kind::Key;
    std::size_t equals = first;
    while (equals < last && units_[equals] != '=') ++equals;
    line.name_begin = first;
    line.name_end = equals;
    while (line.name_end > line.name_begin && IsBlank(units_[line.name_end - 1])) --line.name_end;
    if (equals < last) {
        line.has_value = true;
        line.value_begin = equals + 1;
        line.value_end = last;
        while (line.value_begin < line.value_end && IsBlank(units_[line.value_begin])) ++line.value_begin;
    }
    return line;
}

std::string IniDocument::Utf8(std::size_t begin, std::size_t end) const {
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const char16_t unit = units_[i];
        switch (encoding_) {
        case Encoding::Ansi:
            utf8::Append(out, FromCp1252(unit));
            break;
        case Encoding::Utf8:
            out += static_cast<char>(unit);
            break;
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < end && units_[i + 1] >= 0xDC00 &&
                units_[i + 1] <= 0xDFFF) {
                utf8::Append(out, 0x10000 + ((unit - 0xD800) << 10) + (units_[i + 1] - 0xDC00));
                ++i;
            } else {
                utf8::Append(out, (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit);
            }
            break;
        }
    }
    return out;
}

std::u16string IniDocument::Units(const std::string& text) const {
    std::u16string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (encoding_ == Encoding::Utf8) {
            out += static_cast<char16_t>(static_cast<unsigned char>(text[pos++]));
            continue;
        }
        char32_t cp = utf8::Next(text, pos);
        if (cp == utf8::kInvalid) cp = u'?';
        if (encoding_ == Encoding::Ansi) {
            out += ToCp1252(cp);
        } else if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

bool IniDocument::NameIs(const Line& line, const std::string& name) const {
    // ASCII units compare as they stand; only a name beyond ASCII needs the conversion.
    if (line.name_end - line.name_begin != name.size())
        return !IsAscii(name) && EqualIgnoringAsciiCase(Utf8(line.name_begin, line.name_end), name);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = units_[line.name_begin + i];
        if (unit >= 0x80 || static_cast<unsigned char>(name[i]) >= 0x80)
            return EqualIgnoringAsciiCase(Utf8(line.name_begin, line.name_end), name);
        if (AsciiUpper(static_cast<char>(unit)) != AsciiUpper(name[i])) return false;
    }
    return true;
}

std::optional<std::size_t> IniDocument::FindSection(const std::string& section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && NameIs(lines_[i], section)) return i;
    return std::nullopt;
}

std::optional<std::string> IniDocument::Find(const std::string& section,
                                             const std::string& key) const {
    const auto header = FindSection(section);
    if (!header) return std::nullopt;
    for (std::size_t i = *header + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i) {
        const Line& line = lines_[i];
        if (line.kind != Kind::Key || !NameIs(line, key)) continue;
        if (!line.has_value) return std::nullopt;
        return Utf8(line.value_begin, line.value_end);
    }
    return std::nullopt;
}

std::u16string IniDocument::LineBreak() const {
    for (const Line& line : lines_)
        if (line.next > line.end) return units_.substr(line.end, line.next - line.end);
    return u"\r\n";
}

void IniDocument::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
    const std::u16string entry_value = u"=" + Units(value);
    const auto header = FindSection(section);
    if (!header) {
        std::u16string added;
        if (!units_.empty() && units_.size() > bom_units_ && units_.back() != '\n' &&
            units_.back() != '\r')
            added += LineBreak();
        added += u"[" + Units(section) + u"]" + LineBreak() + Units(key) + entry_value + LineBreak();
        units_ += added;
        Parse();
        return;
    }
    std::size_t anchor = *header;
    for (std::size_t i = *header + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i) {
        const Line& line = lines_[i];
        if (line.kind != Kind::Key) continue;
        if (NameIs(line, key)) {
            const std::u16string stored_key = units_.substr(line.name_begin, line.name_end - line.name_begin);
            units_.replace(line.begin, line.end - line.begin, stored_key + entry_value);
            Parse();
            return;
        }
        anchor = i;
    }
    const Line& after = lines_[anchor];
    std::u16string added = Units(key) + entry_value;
    if (after.next == after.end) added.insert(0, LineBreak());
    else added += units_.substr(after.end, after.next - after.end);
    units_.insert(after.next, added);
    Parse();
}

}  // namespace vemor::platform::posix
