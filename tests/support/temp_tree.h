#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vemor::test {

// A folder of its own below the temporary folder, removed again with the object. Paths are
// given relative to it with "/" and come back as UTF-8 with the platform's separator.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    std::string Root() const;                          // with a trailing separator
    std::string Path(std::string_view relative) const;
    std::filesystem::path Fs(std::string_view relative) const;

    void Folder(std::string_view relative) const;
    void File(std::string_view relative, std::string_view bytes) const;
    // A file of size zero bytes, never written: sparse where the file system allows.
    void Hollow(std::string_view relative, std::uint64_t size) const;
    // A file stored under exactly the names given, as Linux, a Mac or a share stores them and
    // Windows' own functions would not: beside another spelling of its name, or a name Windows
    // cannot spell ("a?b", "trail."). Under Wine through the file's Unix path.
    void Exact(std::string_view relative, std::string_view bytes) const;
    std::string Read(std::string_view relative) const;
    bool Exists(std::string_view relative) const;
    // The names of everything in a folder, sorted: what a write may have left beside a file.
    std::vector<std::string> Names(std::string_view relative) const;

private:
    std::filesystem::path root_;
    mutable bool exact_ = false;  // holds names only the Unix path can remove
};

// Profile text with CRLF line ends, from lines given with "\n".
std::string Crlf(std::string_view text);

// Text stored as UTF-16 little endian with its byte-order mark.
std::string Utf16LeWithBom(std::u16string_view text);
// Text stored as UTF-16 big endian with its byte-order mark.
std::string Utf16BeWithBom(std::u16string_view text);

// Whether the Windows build runs under Wine, whose system functions differ from Windows' in
// places; tables that hold Windows' results mark those rows.
bool RunsUnderWine();

// A sitzung.dat and a user.dat as the suite writes them.
std::string SessionFile(std::string_view label, std::string_view identification,
                        std::string_view norm_data);
std::string ClientFile(std::string_view first_name, std::string_view name);

inline constexpr const char* kShortForm1 = "UVJYX0RfU1RBTkRBUkRfX0tGMQ==";
inline constexpr const char* kShortForm2 = "UVJYX0RfU1RBTkRBUkRfX0tGMg==";
inline constexpr const char* kShortForm3 = "UVJYX0RfU1RBTkRBUkRfX0tGMw==";

// Takes every write permission away: the read-only attribute on Windows.
void MakeReadOnly(const std::filesystem::path& path);

// Whether file permissions bind this process as they bind an ordinary user; root reads and
// writes anything, so a check of refused access means nothing for it.
bool PermissionsBind();

// Why a check that needs them is skipped where permissions do not bind.
inline constexpr const char* kNeedsOrdinaryUser =
    "file permissions do not bind this user (root): run scripts/test.sh, or ctest as an ordinary user";

}  // namespace vemor::test
