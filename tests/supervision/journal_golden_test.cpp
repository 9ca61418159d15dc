// The journal's lines, one for each kind and variant the daemon writes,
// against a file made before the journal's code last changed shape: the
// stored journals and their readers rely on every byte. And the events that
// make no line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

WatchdogEvent Event(WatchdogEventKind kind, Cycle cycle = Cycle::kNone, int32_t count = 0,
                    int32_t second = 0) {
    WatchdogEvent event(kind);
    event.cycle = cycle;
    event.count = count;
    event.second = second;
    return event;
}

// Every line, in the golden file's order.
std::vector<std::string> Lines() {
    using K = WatchdogEventKind;
    std::vector<std::string> lines;
    const auto app = [&](const WatchdogEvent& event) {
        lines.push_back(JournalLine(App(), event, kTime, Same));
    };
    app(Event(K::kThreadNotStarted));
    app(Event(K::kBuffersMissing));
    app(Event(K::kConnected, Cycle::kConnecting, 4));
    app(Event(K::kSilentWait, Cycle::kSilent, 1));
    WatchdogEvent failed = Event(K::kReadFailed, Cycle::kFailing, 1, -1);
    failed.code = 104;
    app(failed);
    WatchdogEvent closed = Event(K::kReadFailed, Cycle::kFailing, 1, 0);
    closed.code = 2;
    app(closed);
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing}) {
        app(Event(K::kResumed, cycle, 7));
    }
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing}) {
        for (int result : {-1, 0, 1}) {
            app(Event(K::kTerminated, cycle, result == 1 ? 2 : 0, result));
        }
    }
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing}) {
        WatchdogEvent launched = Event(K::kLaunched, cycle, 1, 2);
        launched.ok = true;
        launched.text = "/opt/sim --port 7101";
        app(launched);
    }
    WatchdogEvent notLaunched = Event(K::kLaunched, Cycle::kSilent, 0, 0);
    notLaunched.code = 1008;
    notLaunched.text = "C:\\sim\\sim.exe";
    app(notLaunched);
    WatchdogEvent launchFailed = Event(K::kLaunched, Cycle::kFailing, 1, 1);
    launchFailed.code = 2;
    launchFailed.text = "C:\\sim\\missing.exe";
    app(launchFailed);
    for (Cycle cycle : {Cycle::kConnecting, Cycle::kSilent, Cycle::kFailing, Cycle::kWaitFailing,
                        Cycle::kNoSocket}) {
        app(Event(K::kReconnect, cycle, 31));
    }
    WatchdogEvent train = Event(K::kTrain, Cycle::kNone, 4);
    train.text = "20261209031415";
    train.detail = "S1";
    app(train);
    WatchdogEvent strange = Event(K::kTrain, Cycle::kNone, 0);
    strange.text = "k\xff";
    app(strange);
    WatchdogEvent mismatch = Event(K::kMismatch, Cycle::kNone, 3, 1);
    mismatch.text = "20261209031415";
    app(mismatch);
    WatchdogEvent uninstall = Event(K::kUninstall, Cycle::kNone, 0, 42);
    uninstall.ok = true;
    uninstall.text = "/opt/uninstall.sh";
    app(uninstall);
    WatchdogEvent install = Event(K::kInstall, Cycle::kNone, 0, 2);
    install.text = "/opt/install.sh";
    app(install);
    app(Event(K::kBufferOverflow, Cycle::kNone, 50, 20));
    app(Event(K::kOutOfMemory));

    DaemonEvent started(DaemonEventKind::kStarted);
    started.count = 3;
    started.text = "1.0.0";
    lines.push_back(JournalLine(started, kTime, Same));
    DaemonEvent stopped(DaemonEventKind::kStopped);
    stopped.count = 3;
    stopped.text = "1.0.0";
    lines.push_back(JournalLine(stopped, kTime, Same));
    DaemonEvent loaded(DaemonEventKind::kConfigLoaded);
    loaded.text = "/opt/zelk/config.xml";
    loaded.detail = "<report/>";
    lines.push_back(JournalLine(loaded, kTime, Same));
    DaemonEvent notLoaded(DaemonEventKind::kConfigNotLoaded);
    notLoaded.text = "/opt/zelk/config.xml";
    notLoaded.detail = "<report><error>no file</error></report>";
    lines.push_back(JournalLine(notLoaded, kTime, Same));
    const std::vector<std::string> findings = {"app 1 \"a\": empty path", "second"};
    DaemonEvent pitfalls(DaemonEventKind::kConfigPitfalls);
    pitfalls.count = 2;
    pitfalls.findings = &findings;
    lines.push_back(JournalLine(pitfalls, kTime, Same));
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

TEST(JournalGolden, PassesThatChangeNothingMakeNoLine) {
    using K = WatchdogEventKind;
    for (const WatchdogEvent& event :
         {Event(K::kConnectingWait, Cycle::kConnecting, 1),
          Event(K::kSilentWait, Cycle::kSilent, 2), Event(K::kReadFailed, Cycle::kFailing, 2),
          Event(K::kWaitFailed, Cycle::kWaitFailing, 1), Event(K::kTerminate, Cycle::kSilent, 30),
          Event(K::kDataReceived, Cycle::kNone, 40), Event(K::kHandshake), Event(K::kReadable),
          Event(K::kUninstallStarting)}) {
        EXPECT_EQ(JournalLine(App(), event, kTime, Same), "") << static_cast<int>(event.kind);
    }
    EXPECT_EQ(JournalLine(DaemonEvent(DaemonEventKind::kStopping), kTime, Same), "");
}

}  // namespace
