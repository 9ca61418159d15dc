// Files as the status snapshot and the log writer use them: a new file that
// never goes through what a name holds already, a rename over a link, and a
// full disk seen by the append file.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

#include "../support/temp_folder.h"
#include "platform/file_read.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadWholeFile;

// A link at `link` to `target`; false where the platform (or Wine) makes none.
bool PlantLink(const fs::path& target, const fs::path& link) {
    std::error_code error;
    fs::create_symlink(target, link, error);
    return !error;
}

TEST(NewFiles, NeverGoThroughANameThatIsTaken) {
    testing_support::TempFolder folder;
    const fs::path victim = folder.path() / "victim";
    std::ofstream(victim, std::ios::binary) << "keep";
    int32_t error = 0;

    const std::string fresh = (folder.path() / "fresh").string();
    EXPECT_EQ(platform::WriteNewFile(fresh, "new\n", &error), platform::NewFileResult::kWritten);
    EXPECT_EQ(ReadWholeFile(fresh), "new\n");
    EXPECT_EQ(platform::WriteNewFile(fresh, "again", &error), platform::NewFileResult::kNameTaken);
    EXPECT_EQ(ReadWholeFile(fresh), "new\n");
    EXPECT_EQ(platform::WriteNewFile((folder.path() / "missing" / "x").string(), "x", &error),
              platform::NewFileResult::kFailed);
    EXPECT_NE(error, 0);

    if (!PlantLink(victim, folder.path() / "link") ||
        !PlantLink(folder.path() / "nowhere", folder.path() / "dangling")) {
        GTEST_SKIP() << "no links here";
    }
    for (const char* name : {"link", "dangling"}) {
        EXPECT_EQ(platform::WriteNewFile((folder.path() / name).string(), "planted", &error),
                  platform::NewFileResult::kNameTaken)
            << name;
    }
    EXPECT_EQ(ReadWholeFile(victim), "keep");
    EXPECT_FALSE(fs::exists(folder.path() / "nowhere"));

    // A link where the file goes is replaced by the file; what it named stays.
    ASSERT_TRUE(platform::RenameOver(fresh, (folder.path() / "link").string(), &error)) << error;
    EXPECT_FALSE(fs::is_symlink(folder.path() / "link"));
    EXPECT_EQ(ReadWholeFile(folder.path() / "link"), "new\n");
    EXPECT_EQ(ReadWholeFile(victim), "keep");
}

// The retention of dumps counts what is really in the folder: regular files
// only, never what a link names.
TEST(RegularFileBytes, MeasuresRegularFilesOnly) {
    testing_support::TempFolder folder;
    const fs::path file = folder.path() / "dump";
    std::ofstream(file, std::ios::binary) << "12345";
    uint64_t bytes = 0;
    ASSERT_TRUE(platform::RegularFileBytes(file.string(), &bytes));
    EXPECT_EQ(bytes, 5u);
    EXPECT_FALSE(platform::RegularFileBytes(folder.path().string(), &bytes));
    EXPECT_FALSE(platform::RegularFileBytes((folder.path() / "none").string(), &bytes));
    if (PlantLink(file, folder.path() / "link")) {
        EXPECT_FALSE(platform::RegularFileBytes((folder.path() / "link").string(), &bytes));
    }
}

// A reader of files in a folder others can write to reads the file, never
// what a link of its name points to; the plain reader follows the link.
TEST(ReadFile, TheRegularReaderNeverFollowsALink) {
    testing_support::TempFolder folder;
    const fs::path secret = folder.path() / "secret";
    std::ofstream(secret, std::ios::binary) << "root:x:0:0\n";
    const fs::path plain = folder.path() / "zelk-events-2026-12-09.jsonl";
    std::ofstream(plain, std::ios::binary) << "{}\n";
    std::FILE* file = platform::OpenRegularFileForReading(plain.string().c_str());
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    const fs::path link = folder.path() / "zelk-events-2026-12-10.jsonl";
    if (!PlantLink(secret, link)) {
        GTEST_SKIP() << "no links here";
    }
    platform::ClearLastErrorCode();
    EXPECT_EQ(platform::OpenRegularFileForReading(link.string().c_str()), nullptr);
    EXPECT_NE(platform::LastErrorCode(), 0);
    file = platform::OpenFileForReading(link.string().c_str());
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

#ifdef _WIN32
TEST(AppendFile, AFullDiskShowsAtTheWriteOrTheClose) {
    // Wine hands its programs the host's devices under Z: (a full one
    // included); Windows has none, and skips.
    const std::string full = "Z:\\dev\\full";
    platform::ExclusiveAppendFile file;
    if (!file.Open(full)) {
        GTEST_SKIP() << "no full device here";
    }
    const std::string line = "a line\n";
    const bool written = file.Write(line.data(), line.size()) == line.size();
    EXPECT_FALSE(written && file.Close());
}
#else
// A FIFO or a device where a day's file goes, planted by anyone who can
// write to the folder: refused at once, where an open would wait for a
// reader forever or lines would go nowhere.
TEST(AppendFile, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    testing_support::TempFolder folder;
    const fs::path fifo = folder.path() / "zelk-events-2026-12-10.jsonl";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& path : {fifo.string(), std::string("/dev/full")}) {
        int32_t error = 0;
        EXPECT_FALSE(platform::AppendToFile(path, "line\n", &error)) << path;
        EXPECT_NE(error, 0) << path;
        EXPECT_TRUE(platform::EndsWithLineEnd(path)) << path;
        platform::ExclusiveAppendFile file;
        EXPECT_FALSE(file.Open(path)) << path;
    }
    const fs::path plain = folder.path() / "plain";
    std::ofstream(plain, std::ios::binary) << "torn";
    EXPECT_FALSE(platform::EndsWithLineEnd(plain.string()));
    int32_t error = 0;
    EXPECT_TRUE(platform::AppendToFile(plain.string(), "\n", &error));
    EXPECT_TRUE(platform::EndsWithLineEnd(plain.string()));
}

// A child forked while the day's file is open (a launch, a command) shares
// its lock until its exec: the writer's next open waits that moment out
// instead of losing the line.
TEST(AppendFile, AChildForkedWhileItIsOpenDelaysTheNextOpenOnly) {
    testing_support::TempFolder folder;
    const std::string path = (folder.path() / "ZELK_LOG_20261210.log").string();
    platform::ExclusiveAppendFile file;
    ASSERT_TRUE(file.Open(path));
    const pid_t child = fork();
    if (child == 0) {
        const timespec moment{0, 5 * 1000 * 1000};
        nanosleep(&moment, nullptr);
        _exit(0);
    }
    ASSERT_GT(child, 0);
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(file.Open(path));
    file.Close();
    int status = 0;
    waitpid(child, &status, 0);
}
#endif

}  // namespace
