#include "profile_view.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "utf8.h"

namespace vemor::platform {
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

char ToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

bool IsBlank(char16_t unit) { return unit == ' ' || unit == '\t' || unit == '\v' || unit == '\f'; }

char16_t AsciiUpper(char16_t c) { return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c; }

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Around a requested name Windows drops blanks only: a tab there is part of the name.
std::string_view Trimmed(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(static_cast<unsigned char>(a[i])) != AsciiUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The stored code units of the 8-bit encodings: one byte each.
struct ByteUnits {
    static constexpr std::size_t kWidth = 1;
    std::string_view bytes;
    std::size_t size() const { return bytes.size(); }
    char16_t operator[](std::size_t i) const { return static_cast<unsigned char>(bytes[i]); }
};

// UTF-16 in little-endian order; an odd last byte is no unit and is left where it is.
struct WideUnits {
    static constexpr std::size_t kWidth = 2;
    std::string_view bytes;
    std::size_t size() const { return bytes.size() / 2; }
    char16_t operator[](std::size_t i) const {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        return static_cast<char16_t>((high << 8) | low);
    }
};

enum class Kind { Blank, Comment, Section, Key };

struct Line {
    std::size_t begin, end, next;        // content [begin, end), next line at next (in units)
    std::size_t name_begin, name_end;    // trimmed section or key name
    std::size_t value_begin, value_end;  // trimmed value behind the first "="
    Kind kind;
    bool has_value;
};

// Lines and names of one file in one encoding. Positions are in code units.
template <typename Units>
class Scanner {
public:
    Scanner(Units units, Encoding encoding, std::size_t bom_units)
        : units_(units), encoding_(encoding), bom_units_(bom_units) {}

    // Calls visit(line) for every line in order until it returns false.
    template <typename Visit>
    void ForEachLine(Visit&& visit) const {
        const std::size_t size = units_.size();
        std::size_t begin = bom_units_;
        while (begin < size) {
            std::size_t end = begin;
            while (end < size && units_[end] != u'\r' && units_[end] != u'\n') ++end;
            std::size_t next = end;
            if (next < size && units_[next] == u'\r') ++next;
            if (next < size && units_[next] == u'\n' && (next == end || units_[end] == u'\r')) ++next;
            if (!visit(ParseLine(begin, end, next))) return;
            begin = next;
        }
    }

    // The header of the first section of that name, and the lines of that section after it.
    template <typename Visit>
    bool ForEachLineOfSection(std::string_view section, Visit&& visit) const {
        bool inside = false;
        bool found = false;
        ForEachLine([&](const Line& line) {
            if (line.kind == Kind::Section) {
                if (inside) return false;
                if (!NameIs(line, section)) return true;
                inside = found = true;
                return visit(line);
            }
            return !inside || visit(line);
        });
        return found;
    }

    bool HasSection(std::string_view section) const {
        return ForEachLineOfSection(section, [](const Line&) { return false; });
    }

    std::optional<std::string> Find(std::string_view section, std::string_view key) const {
        std::optional<std::string> value;
        ForEachLineOfSection(section, [&](const Line& line) {
            if (line.kind != Kind::Key || !NameIs(line, key)) return true;
            if (line.has_value) value = Utf8(line.value_begin, line.value_end);
            return false;
        });
        return value;
    }

    ByteEdit Set(std::string_view section, std::string_view key, std::string_view value) const {
        const std::string entry = Encode(key) + Encode("=") + Encode(value);
        std::optional<Line> anchor;
        std::optional<Line> existing;
        const bool found = ForEachLineOfSection(section, [&](const Line& line) {
            if (line.kind == Kind::Section && !anchor) anchor = line;
            if (line.kind != Kind::Key) return true;
            if (NameIs(line, key)) {
                existing = line;
                return false;
            }
            anchor = line;
            return true;
        });
        if (!found) return AddSection(section, entry);
        if (existing) {
            // The key keeps its stored spelling; blanks around it and the old value go. A last
            // line without a line end is written with one, as Windows writes it.
            const std::string stored_key = Bytes(existing->name_begin, existing->name_end);
            const std::string line_end = existing->next == existing->end ? Encode("\r\n") : "";
            return {Offset(existing->begin), Offset(existing->end) - Offset(existing->begin),
                    stored_key + Encode("=") + Encode(value) + line_end};
        }
        // After the section's last key, with that line's own line end.
        const Line& after = *anchor;
        if (after.next == after.end) return {Offset(after.next), 0, LineBreak() + entry};
        return {Offset(after.next), 0, entry + Bytes(after.end, after.next)};
    }

private:
    Line ParseLine(std::size_t begin, std::size_t end, std::size_t next) const {
        Line line{begin, end, next, 0, 0, 0, 0, Kind::Blank, false};
        std::size_t first = begin;
        std::size_t last = end;
        while (first < last && IsBlank(units_[first])) ++first;
        while (last > first && IsBlank(units_[last - 1])) --last;
        if (first == last) return line;
        if (units_[first] == u';') {
            line.kind = Kind::Comment;
            return line;
        }
        if (units_[first] == u'[') {
            std::size_t close = first + 1;
            while (close < last && units_[close] != u']') ++close;
            line.kind = Kind::Section;
            line.name_begin = first + 1;
            line.name_end = close;
            while (line.name_begin < line.name_end && IsBlank(units_[line.name_begin])) ++line.name_begin;
            while (line.name_end > line.name_begin && IsBlank(units_[line.name_end - 1])) --line.name_end;
            return line;
        }
        line.kind = Kind::Key;
        std::size_t equals = first;
        while (equals < last && units_[equals] != u'=') ++equals;
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

    // Names compare without regard to the case of ASCII letters, as the Windows functions do.
    bool NameIs(const Line& line, std::string_view name) const {
        const std::size_t length = line.name_end - line.name_begin;
        if (length != name.size())
            return !IsAscii(name) && EqualIgnoringAsciiCase(Utf8(line.name_begin, line.name_end), name);
        for (std::size_t i = 0; i < length; ++i) {
            const char16_t unit = units_[line.name_begin + i];
            if (unit >= 0x80 || static_cast<unsigned char>(name[i]) >= 0x80)
                return EqualIgnoringAsciiCase(Utf8(line.name_begin, line.name_end), name);
            if (AsciiUpper(unit) != AsciiUpper(static_cast<unsigned char>(name[i]))) return false;
        }
        return true;
    }

    std::string Utf8(std::size_t begin, std::size_t end) const {
        std::string out;
        out.reserve(end - begin);
        for (std::size_t i = begin; i < end; ++i) {
            const char16_t unit = units_[i];
            if (encoding_ == Encoding::Ansi) {
                utf8::Append(out, FromCp1252(unit));
            } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < end && units_[i + 1] >= 0xDC00 &&
                       units_[i + 1] <= 0xDFFF) {
                utf8::Append(out, 0x10000 + ((unit - 0xD800) << 10) + (units_[i + 1] - 0xDC00));
                ++i;
            } else {
                utf8::Append(out, (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit);
            }
        }
        return out;
    }

    // UTF-8 text in the file's own encoding.
    std::string Encode(std::string_view text) const {
        std::string out;
        std::size_t pos = 0;
        while (pos < text.size()) {
            char32_t cp = utf8::Next(text, pos);
            if (cp == utf8::kInvalid) cp = U'?';
            if (encoding_ == Encoding::Ansi) {
                out += ToCp1252(cp);
            } else if (cp >= 0x10000) {
                AppendUnit(out, static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                AppendUnit(out, static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                AppendUnit(out, static_cast<char16_t>(cp));
            }
        }
        return out;
    }

    static void AppendUnit(std::string& out, char16_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }

    std::size_t Offset(std::size_t unit) const { return unit * Units::kWidth; }

    std::string Bytes(std::size_t begin, std::size_t end) const {
        return std::string(units_.bytes.substr(Offset(begin), Offset(end) - Offset(begin)));
    }

    // The file's first line end, as stored; CR LF in a file that has none.
    std::string LineBreak() const {
        std::string found;
        ForEachLine([&](const Line& line) {
            if (line.next == line.end) return true;
            found = Bytes(line.end, line.next);
            return false;
        });
        return found.empty() ? Encode("\r\n") : found;
    }

    ByteEdit AddSection(std::string_view section, const std::string& entry) const {
        std::string added;
        const std::size_t size = units_.size();
        // After an unterminated last line, and after a file that holds only its byte-order
        // mark, a line end comes first.
        const bool only_mark = bom_units_ > 0 && size == bom_units_;
        if (only_mark || (size > bom_units_ && units_[size - 1] != u'\n' && units_[size - 1] != u'\r'))
            added += LineBreak();
        const std::string line_break = LineBreak();
        added += Encode("[") + Encode(section) + Encode("]") + line_break + entry + line_break;
        // Before an odd last byte of a UTF-16 file, which belongs to no unit.
        return {Offset(size), 0, added};
    }

    Units units_;
    Encoding encoding_;
    std::size_t bom_units_;
};

template <typename Result, typename Work>
Result WithScanner(std::string_view bytes, Encoding encoding, Work&& work) {
    if (encoding == Encoding::Utf16LE) return work(Scanner<WideUnits>({bytes}, encoding, 1));
    return work(Scanner<ByteUnits>({bytes}, encoding, 0));
}

// Windows reads no UTF-16 in big-endian order: every value is missing, and a write appends its
// section as text of the code page; a later write finds that section there and edits it.
ByteEdit AppendAnsiSection(std::string_view bytes, std::string_view section, std::string_view key,
                           std::string_view value) {
    const std::string_view line_end = "\r\n";
    const bool unterminated = !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
    std::string added(unterminated ? line_end : "");
    const auto text = [](std::string_view utf8_text) {
        std::string out;
        for (std::size_t pos = 0; pos < utf8_text.size();) {
            const char32_t cp = utf8::Next(utf8_text, pos);
            out += ToCp1252(cp == utf8::kInvalid ? U'?' : cp);
        }
        return out;
    };
    // Appended piece by piece: mingw's GCC 12 takes a chain of + for an overlapping copy.
    for (const std::string& piece : {std::string("["), text(section), std::string("]"), std::string(line_end),
                                     text(key), std::string("="), text(value), std::string(line_end)})
        added += piece;
    return {bytes.size(), 0, added};
}

}  // namespace

// Only the UTF-16 marks mean anything: a UTF-8 mark is three bytes of the first line, and the
// text around it is the code page's.
ProfileView::ProfileView(std::string_view bytes) : bytes_(bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) encoding_ = Encoding::Utf16LE;
    else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) encoding_ = Encoding::Utf16BE;
}

// Requested names are compared and written without the blanks around them.
std::optional<std::string> ProfileView::Find(std::string_view section, std::string_view key) const {
    if (encoding_ == Encoding::Utf16BE) return std::nullopt;
    return WithScanner<std::optional<std::string>>(
        bytes_, encoding_, [&](const auto& scanner) { return scanner.Find(Trimmed(section), Trimmed(key)); });
}

ByteEdit ProfileView::Set(std::string_view section, std::string_view key, std::string_view value) const {
    if (encoding_ == Encoding::Utf16BE) {
        const Scanner<ByteUnits> appended({bytes_}, Encoding::Ansi, 0);
        if (appended.HasSection(Trimmed(section))) return appended.Set(Trimmed(section), Trimmed(key), value);
        return AppendAnsiSection(bytes_, Trimmed(section), Trimmed(key), value);
    }
    return WithScanner<ByteEdit>(bytes_, encoding_, [&](const auto& scanner) {
        return scanner.Set(Trimmed(section), Trimmed(key), value);
    });
}

std::string Edited(std::string_view bytes, const ByteEdit& edit) {
    std::string out;
    out.reserve(bytes.size() - edit.erase + edit.insert.size());
    out.append(bytes.substr(0, edit.offset));
    out.append(edit.insert);
    out.append(bytes.substr(edit.offset + edit.erase));
    return out;
}

ByteEdit Narrowed(std::string_view bytes, const ByteEdit& edit) {
    if (edit.insert.size() != edit.erase) return edit;
    const std::string_view old = bytes.substr(edit.offset, edit.erase);
    std::size_t first = 0;
    std::size_t last = edit.insert.size();
    while (first < last && edit.insert[first] == old[first]) ++first;
    while (last > first && edit.insert[last - 1] == old[last - 1]) --last;
    return {edit.offset + first, last - first, edit.insert.substr(first, last - first)};
}

}  // namespace vemor::platform
