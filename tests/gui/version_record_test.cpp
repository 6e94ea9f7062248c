#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/gui_support.h"

namespace vemor {
namespace {

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040704B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return L"<fehlt>";
    return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(VersionRecord, TheBuiltProgramCarriesItsVersionNamesIconAndManifest) {
    const wchar_t* program = VEMOR_PROGRAM;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(program, &handle);
    ASSERT_GT(size, 0u) << "no version record in the program";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(program, 0, size, block.data()));

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileVersion", L"1.00.0004"},
        {L"ProductVersion", L"1.00.0004"},
        {L"InternalName", L"vemor_patch_72_01"},
        {L"OriginalFilename", L"vemor_patch_72_01.exe"},
        {L"ProductName", L"Vemor Patch 72.01"},
    };
    for (const auto& [name, value] : strings) EXPECT_EQ(VersionString(block, name), value) << test::Utf8(name);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(4, 0));

    const HMODULE image = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
    const HRSRC manifest = FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))), SizeofResource(image, manifest));
    for (const char* needed : {"Microsoft.Windows.Common-Controls", "<dpiAware", ">true</dpiAware>", "<longPathAware",
                               ">true</longPathAware>"})
        EXPECT_NE(text.find(needed), std::string::npos) << needed;
    FreeLibrary(image);
}

}  // namespace
}  // namespace vemor
