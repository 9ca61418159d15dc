// The control channel end to end in one process: a server on its own thread,
// as the daemon runs it, and clients on others. What a request line is, who
// is calling, clients that send nothing or too much or leave early, a
// hundred at once, and the stop ending any wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_folder.h"
#include "../support/wait_until.h"
#include "platform/control_channel.h"

namespace {

using platform::ControlCallStatus;
using platform::ControlEvent;
using platform::ControlEventKind;
using Clock = std::chrono::steady_clock;

constexpr unsigned kCallMs = 10000;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

platform::ControlLimits TestLimits() {
    platform::ControlLimits limits;
    limits.maxLineBytes = 1024;
    limits.readTimeoutMs = 400;
    limits.writeTimeoutMs = 400;
    return limits;
}

// A server on a channel of its own, served by a thread as the daemon serves
// it: "split" is answered with a line end inside (which is refused), "big"
// with 2000 bytes, anything else with "echo " and the request; a request too
// long with "too long". Every event is kept.
class ControlChannelTest : public ::testing::Test {
  protected:
    void SetUp() override { channel = platform::ConsoleControlChannel(folder.path().string()); }
    void TearDown() override {
        stop.Raise();
        if (serving.joinable()) {
            serving.join();
        }
    }

    void Serve(const platform::ControlLimits& limits = TestLimits()) {
        platform::ControlAccess access;
        access.serverUser = true;
        const platform::ControlOpenResult opened = server.Open(channel, access, limits);
        ASSERT_EQ(opened.status, platform::ControlOpenStatus::kOpen) << opened.text;
        serving = std::thread([this] {
            for (;;) {
                ControlEvent event = server.Next(stop, 1000);
                if (event.kind == ControlEventKind::kStopped ||
                    event.kind == ControlEventKind::kFailed) {
                    return;
                }
                if (event.kind != ControlEventKind::kIdle) {
                    std::lock_guard<std::mutex> lock(mutex);
                    events.push_back(event);
                }
                if (event.kind == ControlEventKind::kRequest) {
                    server.Answer(event.client, event.line == "split" ? "a\nb"
                                                : event.line == "big" ? std::string(2000, 'x')
                                                                      : "echo " + event.line);
                } else if (event.kind == ControlEventKind::kTooLong) {
                    server.Answer(event.client, "too long");
                }
            }
        });
    }

    std::vector<ControlEvent> Events() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }

    testing_support::TempFolder folder;
    std::string channel;
    platform::ControlStop stop;
    platform::ControlServer server;
    std::thread serving;
    std::mutex mutex;
    std::vector<ControlEvent> events;
};

TEST_F(ControlChannelTest, ARequestIsAnsweredAndTellsWhoCalls) {
    Serve();
    platform::ControlCallResult result =
        platform::CallControlChannel(channel, R"({"command":"status"})", kCallMs);
    ASSERT_EQ(result.status, ControlCallStatus::kAnswered) << result.error;
    EXPECT_EQ(result.answer, R"(echo {"command":"status"})");
    EXPECT_TRUE(result.error.empty());

    std::vector<ControlEvent> seen = Events();
    ASSERT_EQ(seen.size(), 1u);
    const platform::CallerIdentity& caller = seen[0].caller;
    EXPECT_TRUE(caller.known);
    EXPECT_TRUE(caller.isServerUser);
    EXPECT_GT(caller.processId, 0);
    EXPECT_FALSE(caller.user.empty());

    // A request of more than one line is the caller's mistake: nothing is sent.
    result = platform::CallControlChannel(channel, "one\ntwo", kCallMs);
    EXPECT_EQ(result.status, ControlCallStatus::kFailed);
    EXPECT_NE(result.error.find("line end"), std::string::npos) << result.error;
    EXPECT_EQ(Events().size(), 1u);
}

// What the bytes a client sends make of its request, and what it gets back.
TEST_F(ControlChannelTest, TheRequestIsTheFirstLineWithinTheCap) {
    Serve();
    const std::string cap(TestLimits().maxLineBytes, 'c');
    struct Case {
        const char* name;
        std::string sent;
        unsigned callMs;
        ControlCallStatus status;
        std::string answer;
        ControlEventKind kind;
        std::string line;  // kRequest: the line; kDropped: part of the reason
    } cases[] = {
        {"plain", "ping\n", kCallMs, ControlCallStatus::kAnswered, "echo ping",
         ControlEventKind::kRequest, "ping"},
        {"CR LF", "ping\r\n", kCallMs, ControlCallStatus::kAnswered, "echo ping",
         ControlEventKind::kRequest, "ping"},
        {"NUL bytes", std::string("a\0b\n", 4), kCallMs, ControlCallStatus::kAnswered,
         std::string("echo a\0b", 8), ControlEventKind::kRequest, std::string("a\0b", 3)},
        {"two lines", "first\nsecond\n", kCallMs, ControlCallStatus::kAnswered, "echo first",
         ControlEventKind::kRequest, "first"},
        {"the cap", cap + "\n", kCallMs, ControlCallStatus::kAnswered, "echo " + cap,
         ControlEventKind::kRequest, cap},
        {"one past the cap", cap + "c\n", kCallMs, ControlCallStatus::kAnswered, "too long",
         ControlEventKind::kTooLong, ""},
        {"no end in sight", std::string(300000, '\xff'), kCallMs, ControlCallStatus::kAnswered,
         "too long", ControlEventKind::kTooLong, ""},
        {"an answer with a line end", "split\n", kCallMs, ControlCallStatus::kClosed, "",
         ControlEventKind::kRequest, "split"},
        {"no line end, then gone", std::string("ab\0c", 4), 100, ControlCallStatus::kTimedOut, "",
         ControlEventKind::kDropped, "before a whole line"},
        {"no line end, then silence", "abc", kCallMs, ControlCallStatus::kClosed, "",
         ControlEventKind::kDropped, "no whole line within 400 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = Events().size();
        platform::ControlCallResult result = platform::ExchangeRawBytes(channel, c.sent, c.callMs);
        EXPECT_EQ(result.status, c.status) << result.error;
        EXPECT_EQ(result.answer, c.answer);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return Events().size() > before; }, 5));
        const ControlEvent event = Events()[before];
        EXPECT_EQ(event.kind, c.kind);
        if (c.kind == ControlEventKind::kDropped) {
            EXPECT_NE(event.text.find(c.line), std::string::npos) << event.text;
        } else {
            EXPECT_EQ(event.line, c.line);
        }
    }
}

TEST_F(ControlChannelTest, AnAnswerPastTheCallersCapIsTooLong) {
    Serve();
    platform::ControlCallResult result =
        platform::CallControlChannel(channel, "big", kCallMs, 1000);
    EXPECT_EQ(result.status, ControlCallStatus::kTooLong);
    EXPECT_NE(result.error.find("longer than 1000 bytes"), std::string::npos) << result.error;
}

TEST_F(ControlChannelTest, ASilentClientIsDroppedWhileAnotherIsServedAtOnce) {
    Serve();
    std::atomic<bool> silentDone{false};
    platform::ControlCallResult silent;
    std::thread silentClient([&] {
        silent = platform::ExchangeRawBytes(channel, "", kCallMs);
        silentDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    platform::ControlCallResult served = platform::CallControlChannel(channel, "ping", kCallMs);
    EXPECT_FALSE(silentDone) << "the second client waited for the silent one";
    silentClient.join();
    EXPECT_EQ(served.status, ControlCallStatus::kAnswered) << served.error;
    EXPECT_EQ(silent.status, ControlCallStatus::kClosed) << silent.error;
    // The drop is handed out after the client has seen its end.
    ASSERT_TRUE(testing_support::WaitUntil([&] { return Events().size() >= 2; }, 5));
    const std::vector<ControlEvent> seen = Events();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, ControlEventKind::kRequest);
    EXPECT_EQ(seen[1].kind, ControlEventKind::kDropped);
    EXPECT_NE(seen[1].text.find("no whole line within 400 ms"), std::string::npos);
    EXPECT_GT(seen[1].caller.processId, 0);
}

// Not a timed assertion: every call ends within its own time limit, and the
// times are printed for the record.
TEST_F(ControlChannelTest, AHundredClientsAtOnceAreAllAnsweredOrRefused) {
    Serve(platform::ControlLimits());
    constexpr int kClients = 100;
    std::vector<platform::ControlCallResult> results(kClients);
    std::vector<long long> took(kClients);
    std::vector<std::thread> clients;
    std::atomic<bool> go{false};
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            while (!go) {
                std::this_thread::yield();
            }
            const Clock::time_point start = Clock::now();
            results[i] = platform::CallControlChannel(channel, "client " + std::to_string(i), 5000);
            took[i] = MsSince(start);
        });
    }
    const Clock::time_point start = Clock::now();
    go = true;
    for (std::thread& client : clients) {
        client.join();
    }
    const long long total = MsSince(start);
    int answered = 0;
    for (int i = 0; i < kClients; ++i) {
        if (results[i].status == ControlCallStatus::kAnswered) {
            ++answered;
            EXPECT_EQ(results[i].answer, "echo client " + std::to_string(i));
        } else {
            EXPECT_EQ(results[i].status, ControlCallStatus::kTimedOut) << results[i].error;
        }
        EXPECT_LT(took[i], 5000 + 2000);
    }
    std::sort(took.begin(), took.end());
    std::printf(
        "100 clients at once: %d answered, all done in %lld ms; per call min %lld, "
        "median %lld, 90th %lld, max %lld ms\n",
        answered, total, took[0], took[kClients / 2], took[kClients * 9 / 10], took[kClients - 1]);
    EXPECT_GT(answered, 0);
}

// A server held up elsewhere (it does not call Next): more clients than the
// system queues for it, and every call still ends at its own deadline.
TEST_F(ControlChannelTest, ClientsOfAServerThatDoesNotServeEndAtTheirDeadline) {
    platform::ControlAccess access;
    access.serverUser = true;
    ASSERT_EQ(server.Open(channel, access).status, platform::ControlOpenStatus::kOpen);
    constexpr int kClients = 150;
    constexpr unsigned kDeadlineMs = 500;
    std::vector<platform::ControlCallResult> results(kClients);
    std::vector<std::thread> clients;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back(
            [&, i] { results[i] = platform::CallControlChannel(channel, "ping", kDeadlineMs); });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    const long long total = MsSince(start);
    for (const platform::ControlCallResult& result : results) {
        EXPECT_EQ(result.status, ControlCallStatus::kTimedOut) << result.error;
    }
    std::printf("150 clients of a server that does not serve: all ended in %lld ms\n", total);
    EXPECT_LT(total, 5000);
}

TEST_F(ControlChannelTest, WithoutAServerTheCallSaysSoAndASecondServerIsRefused) {
    platform::ControlCallResult result = platform::CallControlChannel(channel, "ping", kCallMs);
    EXPECT_EQ(result.status, ControlCallStatus::kNoChannel);
    EXPECT_NE(result.error.find(channel), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("not running"), std::string::npos) << result.error;

    Serve();
    platform::ControlServer second;
    const platform::ControlOpenResult opened = second.Open(channel, platform::ControlAccess());
    EXPECT_EQ(opened.status, platform::ControlOpenStatus::kInUse);
    EXPECT_NE(opened.text.find(channel), std::string::npos) << opened.text;
    second.Close();
    result = platform::CallControlChannel(channel, "ping", kCallMs);
    EXPECT_EQ(result.status, ControlCallStatus::kAnswered) << result.error;
    EXPECT_FALSE(server.Answer(12345, "nobody"));
}

// The stop ends a wait for a client and a wait for a client's line alike,
// long before the wait's own end.
TEST_F(ControlChannelTest, TheStopEndsAnyWaitAtOnce) {
    for (bool silentClient : {false, true}) {
        SCOPED_TRACE(silentClient ? "waiting for a line" : "waiting for a client");
        platform::ControlStop ownStop;
        platform::ControlServer own;
        platform::ControlLimits limits;
        limits.readTimeoutMs = 30000;
        ASSERT_EQ(own.Open(channel, platform::ControlAccess(), limits).status,
                  platform::ControlOpenStatus::kOpen);
        std::thread client;
        if (silentClient) {
            client = std::thread([&] { platform::ExchangeRawBytes(channel, "", 3000); });
            ASSERT_EQ(own.Next(ownStop, 100).kind, ControlEventKind::kIdle);
        }
        Clock::time_point raised;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            raised = Clock::now();
            ownStop.Raise();
        });
        EXPECT_EQ(own.Next(ownStop, 20000).kind, ControlEventKind::kStopped);
        stopper.join();
        EXPECT_LT(MsSince(raised), 200);
        EXPECT_EQ(own.Next(ownStop, 20000).kind, ControlEventKind::kStopped);
        own.Close();
        if (client.joinable()) {
            client.join();
        }
    }
}

}  // namespace
