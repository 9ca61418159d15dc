// Folders as a configuration check sees them: existing, writable, one file
// under two names, and paths completed against the current folder.
#include "platform/folder_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../support/temp_folder.h"
#include "platform/system.h"

namespace {

namespace fs = std::filesystem;

TEST(FolderProbe, TellsFoldersFromFilesAndMissingPaths) {
    testing_support::TempFolder folder;
    const std::string dir = folder.WithSeparator();
    std::ofstream(folder.path() / "file") << "x";
    struct Case {
        std::string path;
        bool exists;
        bool writable;
    };
    const Case cases[] = {
        {dir, true, true},
        {folder.path().string(), true, true},
        {dir + "file", false, false},
        {dir + "missing", false, false},
        {dir + "missing" + platform::kPathSeparator + "deeper", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::FolderExists(c.path), c.exists) << c.path;
        EXPECT_EQ(platform::FolderWritable(c.path), c.writable) << c.path;
    }
    // The probe file is gone again.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(FolderProbe, SameFileFollowsLinksAndTellsFilesApart) {
    testing_support::TempFolder folder;
    const std::string dir = folder.WithSeparator();
    std::ofstream(dir + "a") << "same";
    std::ofstream(dir + "b") << "same";
    fs::create_hard_link(dir + "a", dir + "hard");
    EXPECT_TRUE(platform::SameFile(dir + "a", dir + "a"));
    EXPECT_TRUE(platform::SameFile(dir + "a", dir + "hard"));
    EXPECT_TRUE(platform::SameFile(dir, folder.path().string()));
    EXPECT_FALSE(platform::SameFile(dir + "a", dir + "b"));
    EXPECT_FALSE(platform::SameFile(dir + "a", dir + "missing"));
    EXPECT_FALSE(platform::SameFile(dir + "missing", dir + "missing"));
#ifndef _WIN32
    fs::create_symlink(dir + "a", dir + "link");
    EXPECT_TRUE(platform::SameFile(dir + "link", dir + "a"));
#endif
}

TEST(FolderProbe, AbsolutePathCompletesOnlyRelativePaths) {
    testing_support::TempFolder folder;
    const std::string inside = folder.WithSeparator() + "config.xml";
    EXPECT_EQ(platform::AbsolutePath(inside), inside);
    EXPECT_EQ(platform::AbsolutePath(""), "");
    const std::string completed = platform::AbsolutePath("config.xml");
    ASSERT_TRUE(platform::IsAbsolutePath(completed)) << completed;
    EXPECT_EQ(completed.substr(platform::FolderOf(completed).size()), "config.xml");
    EXPECT_EQ(platform::FolderOf(completed), (fs::current_path() / "").string());
}

}  // namespace
