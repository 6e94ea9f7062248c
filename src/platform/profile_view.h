#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A profile file read as the Windows profile functions read it, straight from its stored
// bytes. Nothing is copied or converted but the values asked for, so that a file of any size
// costs little more memory than its bytes.
namespace vemor::platform {

enum class Encoding { Ansi, Utf16LE, Utf16BE };

// One edit of stored bytes: the erase bytes at offset are replaced by insert.
struct ByteEdit {
    std::size_t offset;
    std::size_t erase;
    std::string insert;
};

class ProfileView {
public:
    // The UTF-16 byte-order marks select that encoding; anything else is the suite's code
    // page, Windows-1252. The bytes must outlive the object.
    explicit ProfileView(std::string_view bytes);

    Encoding encoding() const { return encoding_; }

    // The raw value of the first key of that name in the first section of that name, quotes
    // not yet stripped; nothing when the section or the key is missing, the key line has no
    // "=", or the file is in an encoding Windows does not read. Blanks around the names
    // asked for do not count.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // The one edit that sets the key as the Windows profile writer does: the key's line is
    // rewritten, or the key is added to its section, or the section is added at the end.
    ByteEdit Set(std::string_view section, std::string_view key, std::string_view value) const;

private:
    std::string_view bytes_;
    Encoding encoding_ = Encoding::Ansi;
};

// bytes with the edit made.
std::string Edited(std::string_view bytes, const ByteEdit& edit);

// The same edit cut down to the bytes that differ from those it replaces, where it keeps the
// length: what a write in place must write.
ByteEdit Narrowed(std::string_view bytes, const ByteEdit& edit);

}  // namespace vemor::platform
