#include "profile.h"

#include "posix/ini_document.h"
#include "posix/names.h"
#include "posix/profile_cache.h"
#include "posix/replace_file.h"
#include "utf8.h"

namespace vemor::platform {
namespace {

// Counts as the Windows functions do, in UTF-16 units, and cuts at a whole character.
ProfileText Fit(const std::string& text, std::size_t size) {
    const std::size_t room = size == 0 ? 0 : size - 1;
    std::size_t units = 0;
    std::size_t cut = 0;
    while (cut < text.size()) {
        std::size_t next = cut;
        const char32_t cp = utf8::Next(text, next);
        const std::size_t width = (cp != utf8::kInvalid && cp >= 0x10000) ? 2 : 1;
        if (units + width > room) break;
        units += width;
        cut = next;
    }
    return {cut == text.size() ? text : text.substr(0, cut), units};
}

std::string StripQuotes(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.pop_back();
        value.erase(0, 1);
    }
    return value;
}

std::string CutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

ProfileText ReadProfileText(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& fallback,
                             std::size_t size) {
    if (const posix::Profile profile = posix::ReadProfile(file)) {
        if (auto value = profile->document.Find(section, key))
            return Fit(StripQuotes(std::move(*value)), size);
    }
    return Fit(CutTrailingBlanks(fallback), size);
}

bool WriteProfileText(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
    const std::string path = posix::ResolveStoredPath(file);
    // What we read of this file last: the value is written into that version or not at all,
    // so a file that vanished, or changed under us since, is neither recreated nor overwritten.
    const posix::Profile read = posix::LastRead(path);
    std::string bytes;
    if (posix::ReadWholeFile(path, bytes)) {
        if (read && bytes != read->bytes) return false;
    } else if (read || posix::Exists(path)) {
        // A file that exists but cannot be read must not be replaced by one holding only the key.
        return false;
    }
    posix::IniDocument document(bytes);
    document.Set(section, key, value);
    const bool written = posix::ReplaceFile(path, document.Bytes());
    posix::ForgetProfile(path);
    return written;
}

}  // namespace vemor::platform
