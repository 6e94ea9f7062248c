#include "support/temp_tree.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace vemor::test {
namespace {

fs::path FromUtf8(std::string_view text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string ToUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

#ifdef _WIN32
// The path in the form that takes every name as it is: the Unix path under Wine, else the
// extended form.
std::wstring AsStored(const fs::path& root, std::string_view relative) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto to_unix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring path = L"\\\\?\\" + root.wstring();
    if (char* unix = to_unix ? to_unix(root.c_str()) : nullptr) {
        path = L"\\\\?\\unix" + FromUtf8(unix).wstring();
        HeapFree(GetProcessHeap(), 0, unix);
    }
    if (!relative.empty()) path += L"/" + FromUtf8(relative).wstring();
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// What fs::remove_all cannot remove: it takes "trail." for ".".
void RemoveAsStored(const std::wstring& path) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
        const std::wstring name = path + L"\\" + data.cFileName;
        if (data.cFileName == std::wstring(L".") || data.cFileName == std::wstring(L"..")) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveAsStored(name);
        else DeleteFileW(name.c_str());
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    RemoveDirectoryW(path.c_str());
}

#endif

}  // namespace

TempTree::TempTree() {
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = fs::temp_directory_path() /
            ("vemor-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    fs::create_directories(root_);
}

TempTree::~TempTree() {
    std::error_code error;
    // Tests take permissions away; give them back so that everything can be removed.
    for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, error);
    }
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, error);
#ifdef _WIN32
    if (exact_) RemoveAsStored(AsStored(root_, ""));
#endif
    fs::remove_all(root_, error);
}

std::vector<std::string> TempTree::Names(std::string_view relative) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Fs(relative))) names.push_back(ToUtf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::string TempTree::Root() const { return ToUtf8(root_ / ""); }

std::string TempTree::Path(std::string_view relative) const { return ToUtf8(Fs(relative)); }

fs::path TempTree::Fs(std::string_view relative) const {
    return (root_ / FromUtf8(relative)).make_preferred();
}

void TempTree::Folder(std::string_view relative) const { fs::create_directories(Fs(relative)); }

void TempTree::File(std::string_view relative, std::string_view bytes) const {
    const fs::path path = Fs(relative);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The C library's resize_file stops short of what Windows takes.
void TempTree::Hollow(std::string_view relative, std::uint64_t size) const {
    File(relative, "");
#ifdef _WIN32
    const HANDLE file = CreateFileW(Fs(relative).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    const BOOL sized = SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
    CloseHandle(file);
    if (!sized) throw std::runtime_error("cannot make a file of that size");
#else
    fs::resize_file(Fs(relative), size);
#endif
}

void TempTree::Exact(std::string_view relative, std::string_view bytes) const {
#ifdef _WIN32
    exact_ = true;
    for (std::size_t cut = relative.find('/'); cut != std::string_view::npos; cut = relative.find('/', cut + 1))
        CreateDirectoryW(AsStored(root_, relative.substr(0, cut)).c_str(), nullptr);
    std::ofstream(fs::path(AsStored(root_, relative)), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
#else
    File(relative, bytes);
#endif
}

std::string TempTree::Read(std::string_view relative) const {
    std::ifstream in(Fs(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempTree::Exists(std::string_view relative) const { return fs::exists(Fs(relative)); }

std::string Crlf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Utf16LeWithBom(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (const char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::string Utf16BeWithBom(std::u16string_view text) {
    std::string out = "\xFE\xFF";
    for (const char16_t unit : text) {
        out += static_cast<char>(unit >> 8);
        out += static_cast<char>(unit & 0xFF);
    }
    return out;
}

bool RunsUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

std::string SessionFile(std::string_view label, std::string_view identification,
                        std::string_view norm_data) {
    return Crlf("[TreeData]\nObjektTyp=2\nBezeichnung=" + std::string(label) +
                "\nDatum=01.03.2024\n[Optionen]\nVerfahren=Standard\nIdentifikation=" +
                std::string(identification) + "\nNormdaten=" + std::string(norm_data) +
                "\nAuswertung=1\n[Ergebnisse]\nRohwert=42\n");
}

std::string ClientFile(std::string_view first_name, std::string_view name) {
    return Crlf("[UserData]\nObjektTyp=1\nVorname=" + std::string(first_name) + "\nName=" +
                std::string(name) + "\nGeburtstag=12.03.2017\n");
}

void MakeReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

bool PermissionsBind() {
#ifdef _WIN32
    // Wine leaves it to the file permissions, which root ignores.
    TempTree tree;
    tree.File("probe.dat", "x");
    MakeReadOnly(tree.Fs("probe.dat"));
    std::ofstream out(tree.Fs("probe.dat"), std::ios::binary | std::ios::app);
    return !out.is_open();
#else
    TempTree tree;
    tree.File("probe.dat", "x");
    fs::permissions(tree.Fs("probe.dat"), fs::perms::none);
    std::ifstream in(tree.Fs("probe.dat"), std::ios::binary);
    return !in.is_open();
#endif
}

}  // namespace vemor::test
