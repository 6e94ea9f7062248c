#include <gtest/gtest.h>

#include <filesystem>

#include "files.h"
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
    const std::pair<const char*, const char*> cases[] = {
        {"a/user.dat", "user.dat"},
        {"b/user.dat", "USER.DAT"},
        {"c/sitzung.dat", "Sitzung.Dat"},
        {"d/user.dat", ""},          // a folder of that name
        {"e/user.dat", ""},          // no such folder
        {"a/sitzung.dat", ""},
    };
    for (const auto& [path, stored] : cases) EXPECT_EQ(platform::FindPlainFile(tree.Path(path)), stored) << path;
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

}  // namespace
}  // namespace vemor
