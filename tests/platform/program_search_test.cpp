// Finding the program of a command line as each platform's launcher finds
// it: the rows say where Win32 (CreateProcess) and POSIX (the shell-like
// split and execvp) differ.
#include "platform/program_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../support/temp_folder.h"
#include "platform/system.h"

namespace {

namespace fs = std::filesystem;

const bool kWindows = platform::kPathSeparator == '\\';

void MakeFile(const fs::path& path, bool executable) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n";
    if (executable) {
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    }
}

TEST(ProgramSearch, FindsTheProgramAsTheLauncherDoes) {
    testing_support::TempFolder folder;
    const std::string dir = folder.WithSeparator();
    const std::string sep(1, platform::kPathSeparator);
    MakeFile(folder.path() / "tool.exe", true);
    MakeFile(folder.path() / "with blank" / "tool.exe", true);
    MakeFile(folder.path() / "data.txt", false);
    fs::create_directories(folder.path() / "folder.exe");
    struct Case {
        std::string commandLine;
        bool foundOnWindows;
        bool foundOnPosix;
    };
    const Case cases[] = {
        {dir + "tool.exe", true, true},
        {"  " + dir + "tool.exe --port 7000", true, true},
        {"\"" + dir + "with blank" + sep + "tool.exe\" -x", true, true},
        {"." + sep + "tool.exe -x", true, true},  // relative: from the daemon's folder
        // Windows: the daemon's folder first; POSIX: PATH only.
        {"tool.exe -x", true, false},
        // Windows adds ".exe" to a name without extension.
        {dir + "tool -x", true, false},
        // Windows tries an unquoted line at each blank; POSIX takes the first word.
        {dir + "with blank" + sep + "tool.exe -x", true, false},
        // POSIX runs only files it may execute.
        {dir + "data.txt", true, false},
        {"cmd /c exit", true, false},  // the system folder of Windows
        {"sh -c true", false, true},   // along PATH
        {dir + "missing.exe", false, false},
        {dir + "folder.exe", false, false},
        {"", false, false},
        {"   ", false, false},
        {"\"\" -x", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(!platform::FindProgram(c.commandLine, dir).empty(),
                  kWindows ? c.foundOnWindows : c.foundOnPosix)
            << c.commandLine;
    }
    EXPECT_EQ(platform::FindProgram("\"" + dir + "tool.exe\" -x", dir), dir + "tool.exe");
}

}  // namespace
