#include "daemon/command_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "../support/temp_folder.h"
#include "daemon/platform_seams.h"
#include "platform/system.h"
#include "watchdog_fakes.h"

namespace {

// Events of one watchdog connection, one letter each: M mismatch,
// H handshake, C new connection attempt.
std::string Actions(const std::string& events) {
    CommandState state;
    std::string out;
    for (char e : events) {
        CommandAction action = CommandAction::kNone;
        if (e == 'M') {
            action = state.OnMismatch();
        } else if (e == 'H') {
            action = state.OnHandshake();
        } else {
            state.Reset();
        }
        out += action == CommandAction::kUninstall ? 'U'
               : action == CommandAction::kInstall ? 'I'
                                                   : '.';
    }
    return out;
}

TEST(CommandState, CommandsFollowMismatchesHandshakesAndReconnections) {
    struct Case {
        const char* events;
        const char* actions;
    };
    const Case cases[] = {
        // Without a mismatch handshakes never run a command.
        {"HHHHHHHHHH", ".........."},
        // Mismatch then five handshakes: install with the fifth, once.
        {"MHHHHHHHHHH", "U....I....."},
        // A second mismatch starts the count again.
        {"MHHMHHHHH", "U..U....I"},
        // A reconnection cancels the pending install.
        {"MHHCHHHHHHHH", "U..........."},
        {"MHHHHCHHHHH", "U.........."},
        // Handshakes counted before a mismatch do not shorten the wait.
        {"HHHHMHHHHH", "....U....I"},
        // Each mismatch after an install starts a new cycle.
        {"MHHHHHMHHHHH", "U....IU....I"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Actions(c.events), c.actions) << c.events;
    }
}

TEST(CommandState, ResetClearsFlagAndCount) {
    CommandState state;
    state.OnMismatch();
    state.OnHandshake();
    EXPECT_TRUE(state.UninstallPending());
    EXPECT_EQ(state.HandshakeCount(), 1);
    state.Reset();
    EXPECT_FALSE(state.UninstallPending());
    EXPECT_EQ(state.HandshakeCount(), 0);
}

using testing_support::RecordedLog;
using testing_support::RecordingShell;

TEST(CommandSteps, RunTheConfiguredCommandsAndLogThem) {
    AppConfig config;
    RecordedLog log{config};
    config.subAppName = "zlek";
    config.startPath = "C:\\zlek\\install.bat";
    config.stopPath = "C:\\zlek\\uninstall.bat";
    RecordingShell shell;
    CommandState state;

    HandleMismatch(state, config, shell, log.sink);
    for (int i = 0; i < 6; ++i) {
        HandleHandshake(state, config, shell, log.sink);
    }
    const std::string console = log.Console();

    EXPECT_EQ(shell.commands,
              (std::vector<std::string>{"C:\\zlek\\uninstall.bat", "C:\\zlek\\install.bat"}));
    EXPECT_EQ(console, "uninstall zlek services!\ninstall zlek services!\n");
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"FATAL|CDaemon::DaemonThread|0|uninstall:zlek cmd:",
                                        "FATAL|CDaemon::DaemonThread|0|install:zlek cmd:"}));
}

TEST(CommandSteps, EmptyCommandIsStillHandedToTheShell) {
    AppConfig config;
    RecordedLog log{config};
    RecordingShell shell;
    CommandState state;
    HandleMismatch(state, config, shell, log.sink);
    EXPECT_EQ(shell.commands, (std::vector<std::string>{""}));
    EXPECT_EQ(log.Lines().size(), 1u);
}

}  // namespace

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

TEST(PlatformShellRunner, StartsTheCommandWithoutWaitingForIt) {
    testing_support::TempFolder folder;
    const fs::path marker = folder.path() / "marker.txt";
    const fs::path script = WriteMarkerScript(folder.path(), marker);
    PlatformShellRunner shell;
    shell.Run(fs::absolute(script).string());
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

TEST(PlatformShellRunner, CommandsThatCannotRunLeaveTheNextOneWorking) {
    PlatformShellRunner shell;
    testing_support::TempFolder folder;
    shell.Run((folder.path() / "absent.bat").string());
    shell.Run("");
    const fs::path marker = folder.path() / "marker.txt";
    shell.Run(fs::absolute(WriteMarkerScript(folder.path(), marker)).string());
    EXPECT_TRUE(WaitForFile(marker));
}

}  // namespace
