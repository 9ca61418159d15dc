// The journal's lines, one for each kind and variant the daemon writes,
// against a file made before the journal's code last changed shape: the
// stored journals and their readers rely on every byte. And the events that
// make no line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "journal/line.h"
#include "supervision/journal_line.h"

namespace {

std::string Same(const std::string& text) {
    return text;
}

const journal::Time kTime{1796786055123, 60};

AppIdentity App() {
    AppIdentity app;
    app.index = 3;
    app.name = "sim \"one\"";
    app.endpoint = "127.0.0.1:7101";
    app.subApp = "recorder";
    return app;
}

// Every line, in the golden file's order.
std::vector<std::string> Lines() {
    namespace ev = watchdog_event;
    namespace de = daemon_event;
    std::vector<std::string> lines;
    const auto app = [&](const WatchdogEvent& event) {
        lines.push_back(JournalLine(App(), event, kTime, Same));
    };
    app(ev::ThreadNotStarted{});
    app(ev::BuffersMissing{});
    app(ev::Connected{4});
    app(ev::SilentWait{1});
    app(ev::ReadFailed{1, -1, 104});
    app(ev::ReadFailed{1, 0, 2});
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing}) {
        app(ev::Resumed{cycle, 7});
    }
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing}) {
        for (int result : {-1, 0, 1}) {
            app(ev::Terminated{cycle, result == 1 ? 2 : 0, result});
        }
    }
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing}) {
        app(ev::Launched{cycle, true, 0, 2, true, "/opt/sim --port 7101"});
    }
    app(ev::Launched{Cycle::kSilent, false, 1008, 0, false, "C:\\sim\\sim.exe"});
    app(ev::Launched{Cycle::kFailing, false, 2, 1, true, "C:\\sim\\missing.exe"});
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing, Cycle::kWaitFailing,
                        Cycle::kNoSocket}) {
        app(ev::Reconnect{cycle, 31});
    }
    app(ev::Train{"20261209031415", "S1", 4});
    app(ev::Train{"k\xff", "", 0});
    app(ev::Mismatch{"20261209031415", 3, 1});
    app(ev::Uninstall{"/opt/uninstall.sh", true, 42});
    app(ev::Install{"/opt/install.sh", false, 2});
    app(ev::BufferOverflow{50, 20});
    app(ev::OutOfMemory{});

    const auto daemon = [&](const DaemonEvent& event) {
        lines.push_back(JournalLine(event, kTime, Same));
    };
    daemon(de::Started{3, "1.0.0"});
    daemon(de::Stopped{3, "1.0.0"});
    daemon(de::ConfigLoaded{"/opt/zelk/config.xml", "<report/>"});
    daemon(de::ConfigNotLoaded{"/opt/zelk/config.xml", "<report><error>no file</error></report>"});
    const std::vector<std::string> findings = {"app 1 \"a\": empty path", "second"};
    daemon(de::ConfigPitfalls{findings});
    daemon(de::ClockJump{kTime.ms - 400LL * 86400000, kTime.ms});
    de::Control pause{"root", "pause", 1,  "sim_silent",       "installing 2.4", kTime.ms + 3600000,
                      "",     true,    "", "sim_silent paused"};
    daemon(pause);
    daemon(de::Control{"nobody", "resume", -1, "sim_silent", "", 0, "", false, "denied",
                       "refused: user 'nobody' may not control ZELK_Daemon (it takes root)"});
    // The states a day's file begins with, as the writer makes them.
    journal::Event state;
    state.kind = journal::EventKind::kState;
    state.time = kTime;
    state.app = App().name;
    state.index = App().index;
    state.endpoint = App().endpoint;
    state.state = "connected";
    state.since = "2026-12-08T21:00:00.000+01:00";
    lines.push_back(journal::FormatLine(state));
    state.state = "connecting";
    state.since.clear();
    lines.push_back(journal::FormatLine(state));
    return lines;
}

TEST(JournalGolden, EveryKindWritesTheLineItAlwaysWrote) {
    std::ifstream file(ZELK_JOURNAL_GOLDEN, std::ios::binary);
    ASSERT_TRUE(file) << ZELK_JOURNAL_GOLDEN;
    std::vector<std::string> golden;
    for (std::string line; std::getline(file, line);) {
        golden.push_back(line + "\n");
    }
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), golden.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], golden[i]) << "line " << i + 1;
    }
}

// Every kind's line is compared with the golden file above; these are the
// events that make none.
TEST(JournalGolden, PassesThatChangeNothingMakeNoLine) {
    namespace ev = watchdog_event;
    for (const WatchdogEvent& event :
         {WatchdogEvent(ev::ConnectingWait{1}), WatchdogEvent(ev::SilentWait{2}),
          WatchdogEvent(ev::ReadFailed{2}), WatchdogEvent(ev::WaitFailed{1}),
          WatchdogEvent(ev::Terminate{Cycle::kSilent, 30}), WatchdogEvent(ev::DataReceived{40}),
          WatchdogEvent(ev::Handshake{1}), WatchdogEvent(ev::Readable{}),
          WatchdogEvent(ev::UninstallStarting{})}) {
        EXPECT_EQ(JournalLine(App(), event, kTime, Same), "") << event.what.index();
    }
    EXPECT_EQ(JournalLine(daemon_event::Stopping{}, kTime, Same), "");
}

}  // namespace
