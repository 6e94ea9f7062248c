// Any bytes as a profile file: reading never fails, a written key reads back as written,
// and every other line stays as it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "changed_lines.h"
#include "profile_view.h"
#include "profile.h"

namespace {

using vemor::platform::Edited;
using vemor::platform::Encoding;
using vemor::platform::ProfileView;

constexpr const char* kSections[] = {"Optionen", "optionen", "TreeData", "Neu", "\xC3\x84rger"};
constexpr const char* kKeys[] = {"Normdaten", "NORMDATEN", "Identifikation", "X y", "\xC3\x96l"};
constexpr const char* kValues[] = {"1", "0", "", "abc 1", ("\xC3\xBC" "ber")};

void Check(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", invariant);
    std::abort();
}

bool IsAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

const std::string& FilePath() {
    static const std::string path = [] {
        const auto folder = std::filesystem::temp_directory_path() / ("vemor-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        return (folder / "sitzung.dat").string();
    }();
    return path;
}

std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::string section = kSections[data[0] % std::size(kSections)];
    const std::string key = kKeys[data[1] % std::size(kKeys)];
    const std::string value = kValues[data[2] % std::size(kValues)];
    const std::string bytes(reinterpret_cast<const char*>(data + 3), size - 3);

    const ProfileView view(bytes);
    view.Find(section, key);
    const std::string written = Edited(bytes, view.Set(section, key, value));
    // Windows reads no big-endian UTF-16; a write there edits or appends text of the code page.
    const bool readable = view.encoding() != Encoding::Utf16BE;
    Check(!readable || ProfileView(written).Find(section, key) == value, "a written key reads back as written");
    Check(readable || written.compare(0, 2, bytes, 0, 2) == 0, "an unreadable file keeps its mark");
    if (view.encoding() != Encoding::Utf16LE) {
        const auto difference = vemor::fuzz::Compare(bytes, written);
        Check(difference.removed.size() <= 1 && difference.added.size() <= 3, "one line edited or added");
        // Names beyond ASCII are stored in the file's own encoding; the counts above suffice.
        for (const std::string& line : difference.removed)
            Check(!IsAscii(key) || vemor::fuzz::Mentions(line, key), "only the key's line is replaced");
        for (const std::string& line : difference.added)
            Check(!IsAscii(key) || vemor::fuzz::Mentions(line, key) || vemor::fuzz::Mentions(line, "["),
                  "only the key's lines are added");
    }

    // The same through the file: read first in a step, as the scan does, then write and read back.
    const std::string& path = FilePath();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    vemor::platform::ProfileStep step(path);
    step.Read(section, key, "", 32000);
    Check(static_cast<bool>(step.Write(section, key, value)), "a writable file is written");
    Check(ReadBack(path) == written, "the file holds what the document wrote");
    const auto read = step.Read(section, key, "fehlt", 32000);
    Check(read.text == (readable ? value.substr(0, 31999) : "fehlt"), "the file reads back as written");
    return 0;
}
