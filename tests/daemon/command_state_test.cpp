#include "supervision/command_state.h"

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
// H handshake, C new connection attempt, P held (maintenance), R released.
std::string Actions(const std::string& events) {
    CommandState state;
    std::string out;
    for (char e : events) {
        CommandAction action = CommandAction::kNone;
        if (e == 'M') {
            action = state.OnMismatch();
        } else if (e == 'H') {
            action = state.OnHandshake();
        } else if (e == 'P' || e == 'R') {
            state.Hold(e == 'P');
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
        // Held: no uninstall, and a pending install waits for the release.
        {"PMHHHHHHRH", ".........."},
        {"MHHPHHHHRH", "U........I"},
        {"MPRMHHHHH", "U..U....I"},
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
    // Each command's console line is out before the shell gets the command,
    // its log line after.
    struct OrderedShell final : ShellRunner {
        RecordedLog* log;
        std::vector<std::string> commands;
        bool Run(const std::string& command, int32_t* code) override {
            commands.push_back(command);
            EXPECT_NE(log->Console().find(command.find("uninstall") != std::string::npos
                                              ? "uninstall zlek services!\n"
                                              : "\ninstall zlek services!\n"),
                      std::string::npos);
            EXPECT_EQ(log->Lines().size(), commands.size() - 1);
            *code = 0;
            return true;
        }
    } shell;
    shell.log = &log;
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
