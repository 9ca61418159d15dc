// The service functions driven through a fake service manager and a fake
// supervisor that record every call in one sequence.
#include "service/service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_folder.h"
#include "log/log_writer.h"
#include "platform/system.h"

namespace {

using platform::ServiceStatus;
using testing_support::ReadWholeFile;
using testing_support::SplitLines;
using testing_support::TempFolder;

// What the fakes saw, in order, and how they are to behave.
struct FakeHost {
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<ServiceStatus> reports;
    bool registrationFails = false;
    // Reports with these indexes (0 = first report) fail with `failCode`.
    std::vector<size_t> failingReports;
    bool allReportsFail = false;
    uint32_t failCode = 0;
    platform::ServiceControlHandler handler = nullptr;
    // When set, the supervisor's Stop blocks until `releaseStop` is set.
    bool holdStop = false;
    bool releaseStop = false;
    std::condition_variable stopReleased;
    // Reports in progress at once; must never exceed 1.
    std::atomic<int> reportsInside{0};
    std::atomic<int> overlaps{0};

    void Add(const std::string& event) {
        std::lock_guard<std::mutex> hold(mutex);
        events.push_back(event);
    }
};

FakeHost* g_fake = nullptr;
int g_handleToken = 0;

platform::ServiceStatusHandle FakeRegister(const char* name,
                                           platform::ServiceControlHandler handler) {
    g_fake->Add(std::string("register ") + name);
    g_fake->handler = handler;
    return g_fake->registrationFails ? nullptr : &g_handleToken;
}

bool FakeReport(platform::ServiceStatusHandle handle, const ServiceStatus& status,
                uint32_t* error) {
    if (g_fake->reportsInside.fetch_add(1) != 0) {
        ++g_fake->overlaps;
    }
    ServiceStatus seen = status;
    std::this_thread::yield();
    // The record must not change while it is being sent.
    if (std::memcmp(&seen, &status, sizeof seen) != 0) {
        ++g_fake->overlaps;
    }
    bool fail;
    {
        std::lock_guard<std::mutex> hold(g_fake->mutex);
        size_t index = g_fake->reports.size();
        g_fake->reports.push_back(status);
        g_fake->events.push_back("report " + std::to_string(status.currentState) + "/" +
                                 std::to_string(status.win32ExitCode) + "/" +
                                 std::to_string(status.waitHint));
        fail = g_fake->allReportsFail;
        for (size_t failing : g_fake->failingReports) {
            fail = fail || failing == index;
        }
        if (handle != &g_handleToken) {
            g_fake->events.push_back("bad handle");
        }
    }
    --g_fake->reportsInside;
    if (fail) {
        *error = g_fake->failCode;
    }
    return !fail;
}

void FakeUseEventLog() {
    g_fake->Add("event log");
}
void FakeInit() {
    g_fake->Add("init");
}
bool FakeStart() {
    g_fake->Add("start");
    return true;
}
bool FakeStop() {
    std::unique_lock<std::mutex> hold(g_fake->mutex);
    g_fake->events.push_back("stop in");
    g_fake->stopReleased.wait(hold, [] { return !g_fake->holdStop || g_fake->releaseStop; });
    g_fake->events.push_back("stop out");
    return true;
}

struct ServiceFixture : ::testing::Test {
    TempFolder folder;
    int64_t now = 1765195200;
    FakeHost fake;
    ServiceHooks saved{};

    void SetUp() override {
        ProcessLogWriter().Reset(
            folder.WithSeparator(), [this] { return now; }, [](const char*) {});
        g_fake = &fake;
        saved = SetServiceHooks({FakeRegister, FakeReport, FakeInit, FakeStart, FakeStop,
                                 FakeUseEventLog, nullptr, nullptr, nullptr});
    }
    void TearDown() override {
        SetServiceHooks(saved);
        g_fake = nullptr;
        ProcessLogWriter().Reset(platform::FolderOf(platform::ExecutablePath()),
                                 platform::CurrentTime, platform::DebugOutput);
    }

    // Runs ServiceMain to the running state and forgets what it recorded.
    void StartRunning() {
        ServiceMain(0, nullptr);
        ASSERT_EQ(ServiceStatusRecord().currentState, platform::kServiceRunning);
        fake.events.clear();
        fake.reports.clear();
        std::filesystem::remove_all(folder.path() / "ZELK_LOG");
    }

    // Every log line as "LEVEL|function|code|message".
    std::vector<std::string> Log() {
        std::vector<std::string> lines;
        std::string path = ProcessLogWriter().FilePathFor(now);
        if (!std::filesystem::exists(path)) {
            return lines;
        }
        for (const std::string& line : SplitLines(ReadWholeFile(path))) {
            std::size_t level = line.find("--", 2);
            std::size_t function = line.find("]  ", line.find("[Line:")) + 3;
            std::size_t colon = line.find(" : ", function);
            std::size_t comma = line.find(" , ", colon);
            lines.push_back(
                line.substr(2, level - 2) + "|" + line.substr(function, colon - function) + "|" +
                line.substr(colon + 3, comma - colon - 3) + "|" + line.substr(comma + 3));
        }
        return lines;
    }
};

const std::string kWarnReport = "WARNING|ReportStatusToSCMgr|0|SetServiceStatus failed";

// The administrator events go to the event log from the service's start on:
// only a service turns them on, a console run keeps its console.
TEST_F(ServiceFixture, ServiceMainRegistersReportsAndStartsInOrder) {
    ServiceMain(0, nullptr);
    EXPECT_EQ(fake.events,
              (std::vector<std::string>{"register ZELK_Daemon", "event log", "report 2/0/9000",
                                        "init", "start", "report 4/0/9000"}));
    ServiceStatus record = ServiceStatusRecord();
    EXPECT_EQ(record.serviceType, 0x30u);
    EXPECT_EQ(record.controlsAccepted, 7u);
    EXPECT_EQ(record.serviceSpecificExitCode, 0u);
    for (const ServiceStatus& sent : fake.reports) {
        EXPECT_EQ(sent.serviceType, 0x30u);
        EXPECT_EQ(sent.controlsAccepted, 7u);
        EXPECT_EQ(sent.checkPoint, 0u);
    }
    EXPECT_EQ(Log(), (std::vector<std::string>{"TRACE|ServiceStart|0|ServiceStart in",
                                               "TRACE|ServiceStart|0|ServiceStart out"}));
    EXPECT_EQ(fake.handler, &Service_Ctrl);
}

TEST_F(ServiceFixture, FailedRegistrationReportsNothing) {
    fake.registrationFails = true;
    ServiceMain(0, nullptr);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"register ZELK_Daemon"}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(ServiceFixture, FailedFirstReportStopsWithItsErrorCodeWithoutStarting) {
    fake.failingReports = {0};
    fake.failCode = 1234;
    ServiceMain(0, nullptr);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"register ZELK_Daemon", "event log",
                                                     "report 2/0/9000", "report 1/1234/0"}));
    EXPECT_EQ(Log(), std::vector<std::string>{kWarnReport});
}

TEST_F(ServiceFixture, FailedRunningReportLeavesOutTheClosingLine) {
    fake.failingReports = {1};
    fake.failCode = 6;
    ServiceMain(0, nullptr);
    EXPECT_EQ(fake.events,
              (std::vector<std::string>{"register ZELK_Daemon", "event log", "report 2/0/9000",
                                        "init", "start", "report 4/0/9000"}));
    EXPECT_EQ(Log(),
              (std::vector<std::string>{"TRACE|ServiceStart|0|ServiceStart in", kWarnReport}));
}

// One row per control code sent to a running service.
struct ControlCase {
    uint32_t control;
    std::vector<std::string> events;
    std::vector<std::string> log;
    uint32_t stateAfter;
};

TEST_F(ServiceFixture, EveryControlReportsAndLogsItsSequence) {
    const std::vector<ControlCase> cases = {
        {1,
         {"report 3/0/500", "stop in", "stop out", "report 1/0/9000"},
         {"TRACE|Service_Ctrl|0|SERVICE_STOP_PENDING", "TRACE|ServiceStop|0|ServiceStop in",
          "TRACE|ServiceStop|0|ServiceStop out"},
         1},
        {2,
         {"report 6/0/500", "report 7/0/9000"},
         {"TRACE|Service_Ctrl|0|SERVICE_CONTROL_PAUSE", "TRACE|ServicePause|0|ServicePause in",
          "TRACE|ServicePause|0|ServicePause out"},
         7},
        {3,
         {"report 5/0/500", "report 4/0/9000"},
         {"TRACE|Service_Ctrl|0|SERVICE_CONTROL_CONTINUE",
          "TRACE|ServiceContinue|0|ServiceContinue in",
          "TRACE|ServiceContinue|0|ServiceContinue out"},
         4},
        {4, {"report 4/0/0"}, {"TRACE|Service_Ctrl|0|SERVICE_CONTROL_INTERROGATE"}, 4},
        // Shutdown re-sends the state without a log line and keeps running.
        {5, {"report 4/0/0"}, {}, 4},
        {0, {"report 4/0/0"}, {}, 4},
        {6, {"report 4/0/0"}, {}, 4},
        {128, {"report 4/0/0"}, {}, 4},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE("control " + std::to_string(c.control));
        StartRunning();
        Service_Ctrl(c.control);
        EXPECT_EQ(fake.events, c.events);
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(ServiceStatusRecord().currentState, c.stateAfter);
    }
}

TEST_F(ServiceFixture, InterrogateAndShutdownResendThePausedState) {
    StartRunning();
    Service_Ctrl(platform::kControlPause);
    fake.events.clear();
    Service_Ctrl(platform::kControlInterrogate);
    Service_Ctrl(platform::kControlShutdown);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"report 7/0/0", "report 7/0/0"}));
    Service_Ctrl(platform::kControlContinue);
    Service_Ctrl(platform::kControlInterrogate);
    EXPECT_EQ(fake.events.back(), "report 4/0/0");
}

// One row per control whose reports all fail.
struct FailureCase {
    uint32_t control;
    std::vector<std::string> log;
    uint32_t stateAfter;
};

TEST_F(ServiceFixture, FailedReportsAreLoggedAndTheRequestStillServed) {
    const std::vector<FailureCase> cases = {
        {1,
         {"TRACE|Service_Ctrl|0|SERVICE_STOP_PENDING", kWarnReport,
          "TRACE|ServiceStop|0|ServiceStop in", kWarnReport,
          "WARNING|ServiceStop|87|ServiceStop ReportStatusToSCMgr false"},
         1},
        {2,
         {"TRACE|Service_Ctrl|0|SERVICE_CONTROL_PAUSE", kWarnReport,
          "TRACE|ServicePause|0|ServicePause in", kWarnReport},
         7},
        {3,
         {"TRACE|Service_Ctrl|0|SERVICE_CONTROL_CONTINUE", kWarnReport,
          "TRACE|ServiceContinue|0|ServiceContinue in", kWarnReport},
         4},
        {4, {"TRACE|Service_Ctrl|0|SERVICE_CONTROL_INTERROGATE", kWarnReport}, 4},
        {5, {kWarnReport}, 4},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE("control " + std::to_string(c.control));
        StartRunning();
        fake.allReportsFail = true;
        fake.failCode = 87;
        Service_Ctrl(c.control);
        fake.allReportsFail = false;
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(ServiceStatusRecord().currentState, c.stateAfter);
    }
}

TEST_F(ServiceFixture, StopPendingFailureStillStopsTheSupervisor) {
    StartRunning();
    fake.failingReports = {0};
    fake.failCode = 5;
    Service_Ctrl(platform::kControlStop);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"report 3/0/500", "stop in", "stop out",
                                                     "report 1/0/9000"}));
    EXPECT_EQ(Log().back(), "TRACE|ServiceStop|0|ServiceStop out");
}

TEST_F(ServiceFixture, StopReturnsOnlyAfterTheSupervisorHasStopped) {
    StartRunning();
    fake.holdStop = true;
    std::atomic<bool> returned{false};
    std::thread control([&] {
        Service_Ctrl(platform::kControlStop);
        returned = true;
    });
    // Wait until the handler is inside the supervisor's Stop.
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(fake.mutex);
            if (!fake.events.empty() && fake.events.back() == "stop in") {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned.load());
    {
        std::lock_guard<std::mutex> hold(fake.mutex);
        EXPECT_EQ(fake.events, (std::vector<std::string>{"report 3/0/500", "stop in"}));
        // The stop-pending report went out before the wait began.
        EXPECT_EQ(fake.reports.back().currentState, platform::kServiceStopPending);
        fake.releaseStop = true;
    }
    fake.stopReleased.notify_all();
    control.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(fake.events.back(), "report 1/0/9000");
}

TEST_F(ServiceFixture, ReportsFromTwoThreadsNeverInterleave) {
    StartRunning();
    std::thread service([] {
        for (int i = 0; i < 2000; ++i) {
            ReportStatusToSCMgr(i % 2 ? platform::kServiceRunning : platform::kServiceStartPending,
                                static_cast<uint32_t>(i), 9000);
        }
    });
    for (int i = 0; i < 1000; ++i) {
        Service_Ctrl(platform::kControlInterrogate);
        Service_Ctrl(platform::kControlShutdown);
    }
    service.join();
    EXPECT_EQ(fake.overlaps.load(), 0);
    // Every re-send carried a state the other thread had set, with its own
    // exit code and hint.
    for (const ServiceStatus& sent : fake.reports) {
        if (sent.waitHint == 0) {
            EXPECT_EQ(sent.win32ExitCode, 0u);
            EXPECT_TRUE(sent.currentState == platform::kServiceRunning ||
                        sent.currentState == platform::kServiceStartPending);
        }
    }
}

}  // namespace
