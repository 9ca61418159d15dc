// Programs the daemon starts get a clean signal state: no signal ignored and
// none blocked, whatever the daemon itself ignores (SIGPIPE) or blocks (the
// control signals, in service mode).
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../support/temp_folder.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/socket_library.h"

namespace {

// The SigIgn and SigBlk lines a program wrote from its /proc/self/status,
// once the file is complete.
std::string SignalLines(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find("SigBlk") != std::string::npos &&
            text.str().find("SigIgn") != std::string::npos) {
            std::string lines;
            std::string line;
            while (std::getline(text, line)) {
                if (line.rfind("SigBlk", 0) == 0 || line.rfind("SigIgn", 0) == 0) {
                    lines += line + "\n";
                }
            }
            return lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "<never written>";
}

TEST(ChildSignals, LaunchedProgramsAndCommandsStartWithNothingIgnoredOrBlocked) {
    const std::string clean = "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n";
    testing_support::TempFolder folder;
    // The daemon's own state: SIGPIPE ignored, and in service mode the
    // control signals blocked.
    platform::SocketLibraryStartup();
    for (bool service : {false, true}) {
        SCOPED_TRACE(service ? "service mode" : "console mode");
        sigset_t controls;
        sigemptyset(&controls);
        if (service) {
            for (int signal : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGHUP}) {
                sigaddset(&controls, signal);
            }
        }
        sigset_t saved;
        pthread_sigmask(SIG_BLOCK, &controls, &saved);

        const std::string launched = folder.WithSeparator() + (service ? "l1" : "l0");
        const std::string command = folder.WithSeparator() + (service ? "c1" : "c0");
        int32_t error = 0;
        platform::UserIdentity* user = platform::QueryUserIdentity(0, &error);
        ASSERT_NE(user, nullptr);
        EXPECT_TRUE(platform::LaunchProgram(
            user, "/bin/sh -c 'grep Sig /proc/self/status > " + launched + "'", &error));
        platform::ReleaseUserIdentity(user);
        int32_t code = 0;
        EXPECT_TRUE(platform::RunShellCommand("grep Sig /proc/self/status > " + command, &code));

        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
        EXPECT_EQ(SignalLines(launched), clean);
        EXPECT_EQ(SignalLines(command), clean);
    }
}

}  // namespace
