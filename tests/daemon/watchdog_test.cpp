// The whole watchdog loop with fakes for its connection, processes, folders,
// shell and time, and the production sink writing into a recorder: every
// cycle of the counting, a train with a mismatch, the install at the fifth
// handshake, and the stop, checked line for line, in milliseconds.
#include "daemon/watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../support/failing_allocator.h"
#include "daemon/watchdog_thread.h"
#include "log_capture.h"
#include "supervision/status_board.h"
#include "watchdog_fakes.h"

namespace {

using namespace testing_support;

const char kHandshake[] = "<?xml version=\"1.0\"?><handshake>alive</handshake>";
const char kTrain[] =
    "<train><time>2026-12-08 10:00:00</time><vagen id=\"1\"><serial>S1</serial></vagen></train>";
const std::string kLine = "TRACE|CDaemon::DaemonThread|10035|";

std::vector<std::string> ConnectingLines() {
    std::vector<std::string> lines;
    for (int before = 0; before < 30; ++before) {
        lines.push_back(kLine + "app CONNECTING 127.0.0.1 " + std::to_string(before) + "count");
        if (before == 9) {
            lines.push_back(kLine + "connect time out, try close process:app");
        } else if (before == 19) {
            lines.push_back(kLine + "connect time out, try open process:app");
        } else if (before == 29) {
            lines.push_back(kLine + "connect time out, goto loop");
        }
    }
    return lines;
}

std::vector<std::string> FailureLines() {
    std::vector<std::string> lines;
    for (int before = 0; before < 31; ++before) {
        lines.push_back(kLine + "app recv data failure " + std::to_string(before));
        if (before == 10) {
            lines.push_back(kLine + "app recv data failure 11, try close process");
        } else if (before == 19) {
            lines.push_back(kLine + "app recv data failure 20, try open process");
        } else if (before == 30) {
            lines.push_back(kLine + "recv data failure, goto loop");
        }
    }
    return lines;
}

void Append(std::vector<std::string>* to, const std::vector<std::string>& more) {
    to->insert(to->end(), more.begin(), more.end());
}

struct WatchdogTest : ::testing::Test {
    AppConfig app;
    RecordedLog log{app};
    FakeConnection connection;
    FakeProcesses processes;
    FakeCounter files;
    RecordingShell shell;
    FakeClock clock;
    std::atomic<bool> running{true};

    void SetUp() override {
        app.name = "app";
        app.path = "app.exe --station 12";
        app.ip = "127.0.0.1";
        app.subAppName = "sub";
        app.startPath = "install.bat";
        app.stopPath = "uninstall.bat";
        app.picMonitor = "P\\";
        app.fileMonitor[0] = "X\\";
        connection.clock = &clock;
        connection.whenDone = [this] { running.store(false); };
    }
    WatchdogSeams Seams() {
        return WatchdogSeams{connection, processes, files, shell, clock, log.sink};
    }
    void RunWatchdog(size_t receiveBytes = 4096, size_t messageBytes = 8192) {
        Watchdog watchdog(app, DaemonTimings(), Seams(), receiveBytes, messageBytes);
        watchdog.Run(running);
    }
};

// Every cycle of the counting, then a train whose files do not match and
// five handshakes.
void ScriptEveryCycle(FakeConnection& connection, FakeCounter& files) {
    // Connecting and silent: terminated at 10, launched at 20, reconnected at 30.
    connection.Add(30, platform::WaitOutcome::kTimedOut);
    // Connected, then silent: 30, 45, 60.
    connection.Add(1, platform::WaitOutcome::kReadable, kHandshake);
    connection.Add(60, platform::WaitOutcome::kTimedOut);
    // Connected, then the peer closes: the 11th, 20th and 31st failed read.
    connection.Add(1, platform::WaitOutcome::kReadable, kHandshake);
    connection.Add(31, platform::WaitOutcome::kReadable);
    files.pictures = 3;
    files.xmlFiles = 1;
    connection.Add(1, platform::WaitOutcome::kReadable, kTrain);
    connection.Add(5, platform::WaitOutcome::kReadable, kHandshake);
}

TEST_F(WatchdogTest, EveryCycleATrainWithAMismatchTheFifthHandshakeAndTheStop) {
    ScriptEveryCycle(connection, files);
    RunWatchdog();

    std::vector<std::string> expected = ConnectingLines();
    expected.push_back(kLine + "recv data time out, try close process:app");
    expected.push_back(kLine + "recv data time out, try open process:app");
    expected.push_back(kLine + "recv data time out, goto loop");
    Append(&expected, FailureLines());
    expected.push_back(kLine + "app recv train date:20261208100000");
    expected.push_back("FATAL|CDaemon::DaemonThread|0|app find pic count:3 != find file count:1");
    expected.push_back("FATAL|CDaemon::DaemonThread|0|uninstall:sub cmd:");
    expected.push_back("FATAL|CDaemon::DaemonThread|0|install:sub cmd:");
    EXPECT_EQ(log.Lines(), expected);

    const std::string ok = "app ==> Recv data ok!\n";
    std::string console = "thead in\n" + ok + ok + ok + "app ==> recv:20261208100000\n" +
                          "find pic count:3 != find file count:1\nuninstall zlek services!\n";
    for (int i = 0; i < 5; ++i) {
        console += ok;
    }
    console += "install zlek services!\n";
    EXPECT_EQ(log.Console(), console);

    const std::vector<std::string> cycle = {"close:app", "open:app.exe --station 12"};
    EXPECT_EQ(processes.calls, (std::vector<std::string>{cycle[0], cycle[1], cycle[0], cycle[1],
                                                         cycle[0], cycle[1]}));
    EXPECT_EQ(shell.commands, (std::vector<std::string>{"uninstall.bat", "install.bat"}));
    // Four connection attempts; the last socket is closed at the stop.
    EXPECT_EQ(connection.opens, 4);
    EXPECT_EQ(connection.closes, 4);
    // 90 silent waits of 3 s and 31 pauses of 1 s.
    EXPECT_EQ(clock.now, 90 * 3000 + 31 * 1000);
}

// The status record is one more consumer of the events: with it the
// watchdog writes and does exactly the same, and the record counts it all.
TEST_F(WatchdogTest, WithTheStatusRecordTheWatchdogDoesTheSameAndTheRecordCountsIt) {
    ScriptEveryCycle(connection, files);
    RunWatchdog();

    AppConfig same = app;
    RecordedLog withStatus{same};
    StatusBoard board(0, [] { return int64_t{1765195200}; });
    StatusRecorder recorder(board, board.Add(same, 3));
    SinkPair both(withStatus.sink, recorder);
    FakeConnection again;
    FakeCounter sameFiles;
    FakeProcesses sameProcesses;
    RecordingShell sameShell;
    FakeClock sameClock;
    std::atomic<bool> on{true};
    again.clock = &sameClock;
    again.whenDone = [&] { on.store(false); };
    ScriptEveryCycle(again, sameFiles);
    Watchdog watchdog(same, DaemonTimings(),
                      WatchdogSeams{again, sameProcesses, sameFiles, sameShell, sameClock, both},
                      4096, 8192);
    watchdog.Run(on);

    EXPECT_EQ(withStatus.Lines(), log.Lines());
    EXPECT_EQ(withStatus.Console(), log.Console());
    EXPECT_EQ(sameProcesses.calls, processes.calls);
    EXPECT_EQ(sameShell.commands, shell.commands);
    EXPECT_EQ(sameClock.now, clock.now);
    const StatusSnapshot snapshot = board.Snapshot();
    ASSERT_EQ(snapshot.apps.size(), 1u);
    const AppStatus& status = snapshot.apps[0];
    EXPECT_EQ(status.index, 3);
    EXPECT_EQ(status.endpoint, "127.0.0.1:0");
    EXPECT_EQ(status.handshakes, 7u);
    EXPECT_EQ(status.trains, 1u);
    EXPECT_EQ(status.terminations, 3u);
    EXPECT_EQ(status.launches, 3u);
    EXPECT_EQ(status.reconnects, 3u);
    EXPECT_EQ(status.fileMismatches, 1u);
    EXPECT_EQ(status.uninstallCommands, 1u);
    EXPECT_EQ(status.installCommands, 1u);
    EXPECT_FALSE(status.installPending);
    EXPECT_TRUE(status.connected);
    EXPECT_EQ(status.silentWaits, 1);  // the wait after the script
}

// Only the silent cycle's termination is preceded by dumps (a failing
// application has closed its end, a connecting one never answered), and the
// termination follows whatever became of them: abandoned, failed, or memory
// running out.
TEST_F(WatchdogTest, OnlyTheSilentTerminationTakesEvidenceAndItIsTerminatedWhatever) {
    FakeEvidence evidence;
    evidence.processes = &processes;
    evidence.records = {{"/e/app-1.dmp", 0, 30000, EvidenceResult::kTimedOut, 0, true},
                        {"/e/app-2.dmp", 0, 2, EvidenceResult::kFailed, 28, false}};
    for (bool outOfMemory : {false, true}) {
        SCOPED_TRACE(outOfMemory);
        evidence.outOfMemory = outOfMemory;
        evidence.requests.clear();
        processes.calls.clear();
        log.output.lines.clear();
        running.store(true);
        ScriptEveryCycle(connection, files);
        WatchdogSeams seams = Seams();
        seams.evidence = &evidence;
        Watchdog(app, DaemonTimings(), seams, 4096, 8192).Run(running);

        const std::vector<std::string> cycle = {"close:app", "open:app.exe --station 12"};
        EXPECT_EQ(processes.calls,
                  (std::vector<std::string>{cycle[0], cycle[1], "dump:app", cycle[0], cycle[1],
                                            cycle[0], cycle[1]}));
        ASSERT_EQ(evidence.requests.size(), 1u);
        EXPECT_EQ(evidence.requests[0].cycle, Cycle::kSilent);
        EXPECT_EQ(evidence.requests[0].count, 30);
        EXPECT_EQ(evidence.requests[0].lastMessage, kHandshake);
        EXPECT_EQ(evidence.requests[0].lastMessageAgeMs, 30 * 3000);
        const auto at = std::find(log.Lines().begin(), log.Lines().end(),
                                  kLine + "recv data time out, try close process:app");
        ASSERT_LT(at + 2, log.Lines().end());
        if (outOfMemory) {
            EXPECT_EQ(at[1],
                      "WARNING|CDaemon::DaemonThread|0|app watchdog pass given up: out of "
                      "memory");
        } else {
            EXPECT_EQ(at[1],
                      "WARNING|CDaemon::DaemonThread|0|app no dump before termination: "
                      "abandoned after 30000 ms, the partial file removed: /e/app-1.dmp");
            EXPECT_EQ(at[2],
                      "TRACE|CDaemon::DaemonThread|28|app no dump before termination: "
                      "cannot be written: /e/app-2.dmp");
        }
    }
}

// The tail of the last read goes to the dumper: at most its 4 KiB.
TEST_F(WatchdogTest, TheLastMessageHandedToTheDumperIsTheTailOfTheLastRead) {
    FakeEvidence evidence;
    connection.Add(1, platform::WaitOutcome::kReadable, kHandshake);
    connection.Add(1, platform::WaitOutcome::kReadable, std::string(5000, 'a') + "end");
    connection.Add(30, platform::WaitOutcome::kTimedOut);
    WatchdogSeams seams = Seams();
    seams.evidence = &evidence;
    Watchdog(app, DaemonTimings(), seams, 8192, 16384).Run(running);
    ASSERT_EQ(evidence.requests.size(), 1u);
    EXPECT_EQ(evidence.requests[0].lastMessage, std::string(4093, 'a') + "end");
}

// The loop completes what the counting noted: the read's result and the
// socket error of the pass reach the failed read's event and the row's.
TEST_F(WatchdogTest, AFailedReadCarriesWhatTheReadReturnedAndTheSocketError) {
    namespace ev = watchdog_event;
    struct Failures final : WatchdogSink {
        std::vector<std::string> seen;
        void Report(const WatchdogEvent& event) override {
            if (const auto* failed = event.As<ev::ReadFailed>()) {
                seen.push_back("failed " + std::to_string(failed->failures) + " " +
                               std::to_string(failed->readResult) + " " +
                               std::to_string(failed->socketError));
            } else if (const auto* terminate = event.As<ev::Terminate>()) {
                seen.push_back("terminate " + std::to_string(terminate->count) + " " +
                               std::to_string(terminate->socketError));
            }
        }
    } failures;
    SinkPair both(log.sink, failures);
    connection.failedRead = -1;
    connection.lastError = 10054;
    connection.Add(11, platform::WaitOutcome::kReadable);
    Watchdog watchdog(app, DaemonTimings(),
                      WatchdogSeams{connection, processes, files, shell, clock, both}, 4096, 8192);
    watchdog.Run(running);
    ASSERT_EQ(failures.seen.size(), 12u);
    EXPECT_EQ(failures.seen[0], "failed 1 -1 10054");
    EXPECT_EQ(failures.seen[10], "failed 11 -1 10054");
    EXPECT_EQ(failures.seen[11], "terminate 11 10054");
}

TEST_F(WatchdogTest, AFailedConnectIsSatOutAsATimeOutAndAFailedWaitPauses) {
    connection.Add(1, platform::WaitOutcome::kConnectFailed);
    connection.Add(1, platform::WaitOutcome::kFailed);
    RunWatchdog();
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               kLine + "app CONNECTING 127.0.0.1 0count",
                               kLine + "socket error",
                               kLine + "app CONNECTING 127.0.0.1 1count",
                           }));
    EXPECT_EQ(log.Console(), "thead in\nerror\n");
    // The rest of the failed connect's wait, and the pause after the failed wait.
    EXPECT_EQ(clock.sleeps, (std::vector<unsigned>{3000, 3000}));
}

// A socket that could not be created is created anew after one wait; one
// that cannot be waited on after a connect cycle of failed waits. Either way
// the application is watched again.
TEST_F(WatchdogTest, ASocketThatCannotBeCreatedOrWaitedOnIsCreatedAnew) {
    connection.openFailures = 2;
    connection.Add(30, platform::WaitOutcome::kFailed);
    connection.Add(1, platform::WaitOutcome::kReadable, kHandshake);
    RunWatchdog();
    std::vector<std::string> expected(2, "TRACE|CDaemon::DaemonThread|10024|create socket faile");
    expected.insert(expected.end(), 30, kLine + "socket error");
    expected.push_back(kLine + "app socket error 30 times, goto loop");
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(connection.opens, 4);
    EXPECT_NE(log.Console().find("app ==> Recv data ok!"), std::string::npos);
    // Two waits sat out for want of a socket, then a pause after each failed wait.
    EXPECT_EQ(clock.sleeps, std::vector<unsigned>(32, 3000));
}

TEST_F(WatchdogTest, WithoutItsBuffersItOnlyWaitsForTheStop) {
    connection.Add(1, platform::WaitOutcome::kReadable, kHandshake);
    struct StoppingClock final : WatchdogClock {
        std::atomic<bool>* running;
        int sleeps = 0;
        int64_t NowMs() override { return 0; }
        void SleepMs(unsigned) override {
            if (++sleeps == 3) {
                running->store(false);
            }
        }
    } stopping;
    stopping.running = &running;
    Watchdog watchdog(app, DaemonTimings(),
                      WatchdogSeams{connection, processes, files, shell, stopping, log.sink}, 4096,
                      1);
    watchdog.Run(running);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"TRACE|CDaemon::DaemonThread|0|app alloc buffer faile"}));
    EXPECT_EQ(stopping.sleeps, 3);
    EXPECT_EQ(connection.opens, 0);
}

TEST_F(WatchdogTest, AnOverflowingReadIsLoggedAndTheConnectionGoesOn) {
    // A line break in the configured name stays within the line.
    app.name = "ap\np";
    connection.Add(1, platform::WaitOutcome::kReadable, std::string(50, 'a'));
    connection.Add(1, platform::WaitOutcome::kReadable, std::string(20, 'b'));
    RunWatchdog(4096, 64);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "WARNING|CDaemon::DaemonThread|0|ap\\x0Ap message buffer full: 50 "
                               "unconsumed bytes discarded, 20 bytes received"}));
}

TEST_F(WatchdogTest, APassThatRunsOutOfMemoryIsGivenUpAndTheNextOneRuns) {
    files.pictures = 3;
    files.xmlFiles = 1;
    const long failures = ForEachFailingAllocation([&](long failAt) {
        AppConfig config = app;
        RecordedLog recorded{config};
        FakeConnection scripted;
        std::atomic<bool> on{true};
        scripted.whenDone = [&] { on.store(false); };
        scripted.Add(1, platform::WaitOutcome::kReadable, kTrain);
        scripted.Add(1, platform::WaitOutcome::kReadable, kHandshake);
        FakeProcesses noProcesses;
        RecordingShell commands;
        Watchdog watchdog(
            config, DaemonTimings(),
            WatchdogSeams{scripted, noProcesses, files, commands, clock, recorded.sink}, 4096,
            8192);
        bool failed = false;
        {
            FailingAllocations guard(failAt);
            watchdog.Run(on);
            failed = guard.Failed();
        }
        // The run reached the stop whatever failed, and the socket was closed.
        EXPECT_EQ(scripted.closes, 1) << "allocation " << failAt;
        if (!failed) {
            EXPECT_EQ(commands.commands, (std::vector<std::string>{"uninstall.bat"}));
        }
        return failed;
    });
    EXPECT_GT(failures, 0);
}

// A watchdog thread whose own set-up runs out of memory watches nothing: the
// supervisor's consumers hear so, as for missing buffers, whichever
// allocation fails; one whose log line fails still tells them.
TEST(WatchdogThread, ASetUpWithoutMemoryIsToldAsNotWatched) {
    struct Kinds final : EventConsumer {
        int seen[64] = {};  // no allocation while the failures are armed
        void OnAppEvent(const AppIdentity&, const WatchdogEvent& event, int64_t) override {
            ++seen[event.what.index() % 64];
        }
        void OnDaemonEvent(const DaemonEvent&, int64_t) override {}
    };
    LogCapture log;
    const long failures = ForEachFailingAllocation([&](long failAt) {
        EventHub hub([] { return int64_t{0}; }, [] { return int64_t{0}; });
        Kinds kinds;
        hub.AddConsumer(&kinds);
        std::atomic<bool> stopped{false};
        std::atomic<int32_t> threads{1};
        auto app = std::make_unique<AppConfig>();
        app->name = "app";
        app->ip = "127.0.0.1";
        auto* context = new WatchdogThreadContext{std::move(app),  0,   stopped, threads,
                                                  DaemonTimings(), hub, nullptr, {}};
        bool failed = false;
        {
            FailingAllocations guard(failAt);
            WatchApplication(context);
            failed = guard.Failed();
        }
        const auto heard = [&](WatchdogPayload kind) { return kinds.seen[kind.index() % 64] > 0; };
        EXPECT_TRUE(heard(watchdog_event::ThreadStart{}) || heard(watchdog_event::BuffersMissing{}))
            << "allocation " << failAt;
        EXPECT_TRUE(heard(watchdog_event::ThreadExit{})) << "allocation " << failAt;
        EXPECT_EQ(threads.load(), 0);
        return failed;
    });
    EXPECT_GT(failures, 0);
}

// The control channel's orders, as the watchdog follows them: a paused
// application is read but never terminated, launched or reinstalled; a
// restart terminates and launches it at the next pass.
TEST_F(WatchdogTest, OrdersPauseEveryActionAndRestartAtTheNextPass) {
    WatchdogOrders orders;
    orders.paused.store(true);
    files.pictures = 3;
    files.xmlFiles = 1;
    connection.Add(1, platform::WaitOutcome::kReadable, kTrain);
    connection.Add(6, platform::WaitOutcome::kReadable, kHandshake);
    connection.Add(90, platform::WaitOutcome::kTimedOut);
    connection.Add(40, platform::WaitOutcome::kReadable);
    WatchdogSeams seams = Seams();
    seams.orders = &orders;
    {
        Watchdog watchdog(app, DaemonTimings(), seams, 4096, 8192);
        watchdog.Run(running);
    }
    EXPECT_TRUE(processes.calls.empty());
    EXPECT_TRUE(shell.commands.empty());
    EXPECT_EQ(connection.opens, 1);

    running.store(true);
    orders.paused.store(false);
    connection.Add(1, platform::WaitOutcome::kTimedOut);
    Watchdog watchdog(app, DaemonTimings(), seams, 4096, 8192);
    orders.restarts.fetch_add(1);
    watchdog.Run(running);
    EXPECT_EQ(processes.calls,
              (std::vector<std::string>{"close:app", "open:app.exe --station 12"}));
    EXPECT_EQ(connection.opens, 3) << "the old process's connection is replaced";
}

}  // namespace
