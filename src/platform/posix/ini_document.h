#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// A profile file held as the code units it is stored in, so that an edit changes the
// edited line and nothing else: bytes for the 8-bit encodings, 16-bit units for UTF-16.
namespace vemor::platform::posix {

enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };

class IniDocument {
public:
    // Reads stored bytes: a UTF-8 or UTF-16 byte-order mark selects that encoding, anything
    // else is the suite's code page, Windows-1252.
    explicit IniDocument(const std::string& bytes);

    std::string Bytes() const;
    Encoding encoding() const { return encoding_; }

    // The raw value of the first key of that name in the first section of that name, quotes
    // not yet stripped; nothing when the section or the key is missing or the key line
    // has no "=".
    std::optional<std::string> Find(const std::string& section, const std::string& key) const;

    // Sets the key as the Windows profile writer does, editing only the line concerned.
    void Set(const std::string& section, const std::string& key, const std::string& value);

private:
    enum class Kind { Blank, Comment, Section, Key };
    struct Line {
        std::size_t begin, end, next;       // content [begin, end), next line at next
        std::size_t name_begin, name_end;   // trimmed section or key name
        std::size_t value_begin, value_end; // trimmed value behind the first "="
        Kind kind;
        bool has_value;
    };

    void Parse();
    Line ParseLine(std::size_t begin, std::size_t end, std::size_t next) const;
    std::string Utf8(std::size_t begin, std::size_t end) const;
    std::u16string Units(const std::string& utf8) const;
    bool NameIs(const Line& line, const std::string& name) const;
    std::optional<std::size_t> FindSection(const std::string& section) const;
    std::u16string LineBreak() const;

    Encoding encoding_ = Encoding::Ansi;
    std::size_t bom_units_ = 0;
    std::u16string units_;
    std::optional<char> trailing_byte_;
    std::vector<Line> lines_;
};

}  // namespace vemor::platform::posix
