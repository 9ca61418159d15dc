// Commands handed to the system's shell: started without being waited for,
// detached from this process, and a failed one leaves the next one working.
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "../support/temp_folder.h"
#include "platform/system.h"

namespace {

namespace fs = std::filesystem;
std::error_code ignoredError;

bool WaitForFile(const fs::path& path) {
    for (int i = 0; i < 200; ++i) {
        std::error_code error;
        if (fs::exists(path, error) && fs::file_size(path, error) > 0) {
            return true;
        }
        platform::SleepMs(50);
    }
    return false;
}

// The children of the calling thread where the system shows them (Linux);
// empty elsewhere.
std::string ChildrenOfThisThread() {
    std::string text;
    for (const auto& task : fs::directory_iterator("/proc/thread-self/..", ignoredError)) {
        text += testing_support::ReadWholeFile(task.path() / "children");
    }
    return text;
}

// A script that writes a marker file, in the shell language of the platform.
fs::path WriteMarkerScript(const fs::path& folder, const fs::path& marker) {
    if (platform::kPathSeparator == '\\') {
        fs::path script = folder / "marker.bat";
        std::ofstream(script) << "@echo off\r\necho ran> \"" << marker.string() << "\"\r\n";
        return script;
    }
    fs::path script = folder / "marker.sh";
    // Records its streams and its session.
    std::ofstream(script) << "#!/bin/sh\n"
                          << "echo \"ran $(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1) "
                             "$(readlink /proc/$$/fd/2) $(cut -d' ' -f6 /proc/$$/stat)\" > '"
                          << marker.string() << ".tmp'\n"
                          << "mv '" << marker.string() << ".tmp' '" << marker.string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

TEST(RunShellCommand, StartsTheCommandWithoutWaitingForIt) {
    testing_support::TempFolder folder;
    const fs::path marker = folder.path() / "marker.txt";
    const fs::path script = WriteMarkerScript(folder.path(), marker);
    int32_t code = 0;
    EXPECT_TRUE(platform::RunShellCommand(fs::absolute(script).string(), &code));
    ASSERT_TRUE(WaitForFile(marker));
    const std::string text = testing_support::ReadWholeFile(marker);
    EXPECT_EQ(text.rfind("ran", 0), 0u) << text;
    if (platform::kPathSeparator == '/') {
        EXPECT_EQ(text.rfind("ran /dev/null /dev/null /dev/null ", 0), 0u) << text;
        // Its session is not this process's.
        std::string own = testing_support::ReadWholeFile("/proc/self/stat");
        std::size_t field = own.rfind(')');
        for (int i = 0; i < 4; ++i) {
            field = own.find(' ', field + 1);
        }
        const std::string ownSession = own.substr(field + 1, own.find(' ', field + 1) - field - 1);
        const std::string session = text.substr(text.rfind(' ') + 1);
        EXPECT_NE(session, ownSession + "\n");
        EXPECT_NE(session, "\n");
        // The command was never a child of this process: nothing to reap,
        // no zombie.
        EXPECT_EQ(ChildrenOfThisThread().find_first_not_of(" \n"), std::string::npos);
    }
}

TEST(RunShellCommand, CommandsThatCannotRunLeaveTheNextOneWorking) {
    testing_support::TempFolder folder;
    int32_t code = 0;
    platform::RunShellCommand((folder.path() / "absent.bat").string(), &code);
    platform::RunShellCommand("", &code);
    const fs::path marker = folder.path() / "marker.txt";
    EXPECT_TRUE(platform::RunShellCommand(
        fs::absolute(WriteMarkerScript(folder.path(), marker)).string(), &code));
    EXPECT_TRUE(WaitForFile(marker));
}

}  // namespace
