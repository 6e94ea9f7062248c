#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "files.h"
#include "folder_state.h"
#include "text.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

using test::TempTree;

TEST(FindPlainFile, AnswersTheStoredNameOfPlainFilesOnly) {
    TempTree tree;
    tree.File("a/user.dat", "x");
    tree.File("b/USER.DAT", "x");
    tree.File("c/Sitzung.Dat", "x");
    tree.Folder("d/user.dat");
    const std::pair<std::string, std::string> cases[] = {
        {"a/user.dat", "user.dat"},
        {"b/user.dat", "USER.DAT"},
        {"c/sitzung.dat", "Sitzung.Dat"},
        {"d/user.dat", ""},          // a folder of that name
        {"e/user.dat", ""},          // no such folder
        {"a/sitzung.dat", ""},
    };
    for (const auto& [path, stored] : cases) {
        const platform::FoundFile found = platform::FindPlainFile(tree.Path(path));
        EXPECT_EQ(found.name, stored) << path;
        EXPECT_FALSE(found.problem) << path;
    }
    // A path no file can have is no answer: a NUL natively, a "|" in a folder's name on Windows.
#ifdef _WIN32
    const std::string bad = tree.Path("a|b") + "\\user.dat";
#else
    const std::string bad = tree.Path("a") + "/" + std::string("us\0er.dat", 9);
#endif
    const platform::FoundFile found = platform::FindPlainFile(bad);
    ASSERT_TRUE(found.problem);
    EXPECT_EQ(found.problem->kind, platform::FileProblem::Kind::kBadName);
}

// The scan answers its lookups from the folder's listing; the answer must be the one the
// system's own lookup gives, for long names and 8.3 aliases in any letter case.
TEST(FindPlainFileIn, AnswersAsTheSingleFileLookupDoes) {
    TempTree tree;
    tree.File("s/Sitzungsdaten vom Montag.dat", "x");
    tree.File("s/sitzung.dat", "x");
    tree.File("s/USER.DAT", "x");
    tree.Folder("s/Unterordner mit langem Namen");
    tree.Folder("s/user.dat.alt");
    // Several spellings of one name, as case-sensitive storage holds them: the exact one
    // first, else the one the system's lookup takes.
    tree.Exact("s/user.dat", "x");
    tree.Exact("s/SITZUNG.DAT", "x");
    tree.Exact("s/Sitzung.dat", "x");
    const std::string folder = tree.Path("s") + platform::kSeparator;
    const auto entries = platform::ListFolder(folder, "*.*");
    ASSERT_TRUE(entries.has_value());
    std::vector<std::string> names = {"user.dat", "SITZUNG.DAT", "fehlt.dat", "sitzung.DAT"};
    std::size_t aliases = 0;
    for (const auto& entry : *entries) {
        names.push_back(entry.name);
        names.push_back(platform::ToUpper(entry.name));
        if (entry.short_name.empty()) continue;
        ++aliases;
        std::string lower = entry.short_name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        names.push_back(entry.short_name);
        names.push_back(lower);
    }
#ifdef _WIN32
    EXPECT_GT(aliases, 0u) << "no 8.3 alias listed, so the aliases went untested";
#endif
    for (const std::string& name : names)
        EXPECT_EQ(platform::FindPlainFileIn(folder, *entries, name), platform::FindPlainFile(folder + name)) << name;
}

TEST(ListFolder, DeliversEveryEntryInUpperCasedNameOrder) {
    TempTree tree;
    tree.Folder("root/b");
    tree.Folder("root/A");
    tree.Folder("root/\xC3\xA4rger");   // ärger sorts after every ASCII letter
    tree.Folder("root/.versteckt");
    tree.File("root/c.txt", "x");
    const auto entries = platform::ListFolder(tree.Path("root") + platform::kSeparator, "*.*");
    ASSERT_TRUE(entries.has_value());
    std::vector<std::pair<std::string, bool>> got;
    for (const auto& entry : *entries) got.emplace_back(entry.name, entry.is_folder);
    const std::vector<std::pair<std::string, bool>> want = {
        {".", true}, {"..", true}, {".versteckt", true}, {"A", true}, {"b", true},
        {"c.txt", false}, {"\xC3\xA4rger", true}};
    EXPECT_EQ(got, want);
}

TEST(ListFolder, GivesNothingForAFolderThatCannotBeRead) {
    TempTree tree;
    EXPECT_FALSE(platform::ListFolder(tree.Path("fehlt") + platform::kSeparator, "*.*").has_value());
}

TEST(IdentifyFolder, TellsFoldersApartWhateverTheSpelling) {
    TempTree tree;
    tree.Folder("real/inner");
    const auto real = platform::IdentifyFolder(tree.Path("real"));
    ASSERT_TRUE(real.has_value());
    EXPECT_EQ(platform::IdentifyFolder(tree.Path("real") + platform::kSeparator), real);
    EXPECT_EQ(platform::IdentifyFolder(tree.Path("real/inner/..")), real);
    EXPECT_NE(platform::IdentifyFolder(tree.Path("real/inner")), real);
    EXPECT_FALSE(platform::IdentifyFolder(tree.Path("fehlt")).has_value());
#ifndef _WIN32
    std::filesystem::create_directory_symlink(tree.Fs("real"), tree.Fs("link"));
    EXPECT_EQ(platform::IdentifyFolder(tree.Path("link")), real);
#endif
}

// Readers start only where this says yes: on a local disk they would only cost time.
TEST(IsOverlappingShare, SaysYesOnlyForAShareThatOverlaps) {
    TempTree tree;
    tree.Folder("ordner");
    tree.File("datei", "x");
    const std::pair<std::string, bool> cases[] = {
        {tree.Path("ordner"), false},
        {tree.Path("ordner") + platform::kSeparator, false},
        {tree.Path("datei"), false},
        {tree.Path("fehlt"), false},
#ifdef _WIN32
        {"\\\\server\\praxis\\Eigene Diagnostik\\", true},
        {"\\\\?\\UNC\\server\\praxis\\", true},
        {"\\\\?\\" + tree.Path("ordner"), false},
        {"\\\\.\\pipe\\praxis", false},
#endif
    };
    for (const auto& [path, share] : cases) EXPECT_EQ(platform::IsOverlappingShare(path), share) << path;
}

}  // namespace
}  // namespace vemor
