#include "trackside-sim/schedule.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

struct Tally {
    int handshakes = 0;
    int trains = 0;
    int silenceBegins = 0;
    int closingBegins = 0;
    int64_t firstRefusalMs = kNever;
    int64_t exitMs = kNever;
};

// Drives a schedule in 50 ms steps, as the run loop does, up to `endMs`.
Tally Drive(const Options& options, int64_t endMs) {
    Schedule schedule(options);
    Tally t;
    for (int64_t now = 0; now <= endMs; now += 50) {
        DueActions due = schedule.Advance(now);
        if (due.exit) {
            t.exitMs = now;
            break;
        }
        t.handshakes += due.sendHandshake;
        t.trains += due.train;
        t.silenceBegins += due.silenceBegins;
        t.closingBegins += due.closingBegins;
        if (due.refuseConnections && t.firstRefusalMs == kNever) {
            t.firstRefusalMs = now;
        }
    }
    return t;
}

TEST(Schedule, SendsAtEachIntervalFromTheFirstInterval) {
    Options o;
    o.handshakeIntervalMs = 1000;
    o.trainIntervalMs = 5000;
    Tally t = Drive(o, 10000);
    EXPECT_EQ(t.handshakes, 10);
    EXPECT_EQ(t.trains, 2);
    EXPECT_EQ(t.exitMs, kNever);
    EXPECT_EQ(t.firstRefusalMs, kNever);
}

TEST(Schedule, FaultsBeginAtTheirTimes) {
    struct Case {
        const char* what;
        int64_t silent, close, exit;
        bool neverSend;
        int handshakes, trains, silenceBegins, closingBegins;
        int64_t refusalMs, exitMs;
    } cases[] = {
        {"healthy", kNever, kNever, kNever, false, 10, 2, 0, 0, kNever, kNever},
        {"silent after 3.5 s", 3500, kNever, kNever, false, 3, 0, 1, 0, kNever, kNever},
        {"silent from the start", 0, kNever, kNever, false, 0, 0, 1, 0, kNever, kNever},
        {"close after 4 s", kNever, 4000, kNever, false, 10, 2, 0, 1, 4000, kNever},
        {"exit after 6 s", kNever, kNever, 6000, false, 5, 1, 0, 0, kNever, 6000},
        {"never send", kNever, kNever, kNever, true, 0, 2, 0, 0, kNever, kNever},
        {"silent then exit", 2000, kNever, 7000, false, 1, 0, 1, 0, kNever, 7000},
    };
    for (const Case& c : cases) {
        Options o;
        o.handshakeIntervalMs = 1000;
        o.trainIntervalMs = 5000;
        o.silentAfterMs = c.silent;
        o.closeAfterMs = c.close;
        o.exitAfterMs = c.exit;
        o.neverSend = c.neverSend;
        Tally t = Drive(o, 10000);
        EXPECT_EQ(t.handshakes, c.handshakes) << c.what;
        EXPECT_EQ(t.trains, c.trains) << c.what;
        EXPECT_EQ(t.silenceBegins, c.silenceBegins) << c.what;
        EXPECT_EQ(t.closingBegins, c.closingBegins) << c.what;
        EXPECT_EQ(t.firstRefusalMs, c.refusalMs) << c.what;
        EXPECT_EQ(t.exitMs, c.exitMs) << c.what;
    }
}

TEST(Schedule, NoTrainsWithAZeroInterval) {
    Options o;
    o.handshakeIntervalMs = 1000;
    o.trainIntervalMs = 0;
    EXPECT_EQ(Drive(o, 60000).trains, 0);
}

TEST(Schedule, ALateCallSendsOnceAndKeepsTheRhythm) {
    Options o;
    o.handshakeIntervalMs = 1000;
    o.trainIntervalMs = 0;
    Schedule s(o);
    EXPECT_FALSE(s.Advance(999).sendHandshake);
    EXPECT_TRUE(s.Advance(4500).sendHandshake);  // 1, 2, 3 and 4 s passed: one heartbeat
    EXPECT_FALSE(s.Advance(4900).sendHandshake);
    EXPECT_TRUE(s.Advance(5000).sendHandshake);
    EXPECT_FALSE(s.Advance(5999).sendHandshake);
    EXPECT_TRUE(s.Advance(6000).sendHandshake);
}

}  // namespace
}  // namespace sim
