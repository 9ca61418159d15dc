// The timeline: the spans and markers worked out from events (restarts, a
// day that starts mid-outage, daemon restarts and crashes, the end of
// summer time), local days and their hours, and the drawings of them.
#include <gtest/gtest.h>

#include "central_europe_zone.h"
#include "journal/event.h"
#include "markup/markup.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_axis.h"
#include "zelkctl/timeline_spans.h"
#include "zelkctl/timeline_style.h"
#include "zelkctl/timeline_svg.h"
#include "zelkctl/timeline_text.h"

namespace zelkctl {
namespace {

using journal::DaysFromCivil;
using journal::Event;
using journal::EventKind;

int64_t At(const char* rfc3339) {
    journal::Time time;
    EXPECT_TRUE(journal::ParseRfc3339(rfc3339, &time)) << rfc3339;
    return time.ms;
}

Event Ev(const char* time, EventKind kind, const char* app = "", int index = -1) {
    Event e;
    journal::ParseRfc3339(time, &e.time);
    e.kind = kind;
    e.kindName = journal::KindName(kind);
    e.app = app;
    e.index = index;
    return e;
}

Event Started(const char* time, int apps) {
    Event e = Ev(time, EventKind::kDaemonStarted);
    e.apps = apps;
    return e;
}

struct ExpectedSpan {
    const char* from;
    const char* to;
    LaneState state;
};

void ExpectSpans(const Lane& lane, const std::vector<ExpectedSpan>& expected) {
    ASSERT_EQ(lane.spans.size(), expected.size()) << lane.name;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lane.spans[i].startMs, At(expected[i].from)) << lane.name << " span " << i;
        EXPECT_EQ(lane.spans[i].endMs, At(expected[i].to)) << lane.name << " span " << i;
        EXPECT_EQ(lane.spans[i].state, expected[i].state) << lane.name << " span " << i;
    }
}

Timeline Build(const std::vector<Event>& events, const char* from, const char* to,
               const char* end = nullptr) {
    TimelineBuilder builder(At(from), At(to), true);
    for (const Event& e : events) {
        builder.Add(e);
    }
    return builder.Finish(At(end != nullptr ? end : to));
}

TEST(TimelineSpans, FollowARestartCycle) {
    const Timeline t = Build(
        {
            Started("2026-12-09T00:00:00+01:00", 1),
            Ev("2026-12-09T00:00:06+01:00", EventKind::kConnected, "a", 0),
            Ev("2026-12-09T00:10:00+01:00", EventKind::kSilence, "a", 0),
            Ev("2026-12-09T00:11:27+01:00", EventKind::kTerminated, "a", 0),
            Ev("2026-12-09T00:12:12+01:00", EventKind::kLaunched, "a", 0),
            // The killed process's connection fails: a second termination,
            // no second restart.
            Ev("2026-12-09T00:12:40+01:00", EventKind::kFailing, "a", 0),
            Ev("2026-12-09T00:12:50+01:00", EventKind::kTerminated, "a", 0),
            Ev("2026-12-09T00:12:57+01:00", EventKind::kReconnect, "a", 0),
            Ev("2026-12-09T00:13:03+01:00", EventKind::kConnected, "a", 0),
            // Quiet for less than the tolerated gap: still connected.
            Ev("2026-12-09T00:15:00+01:00", EventKind::kSilence, "a", 0),
            Ev("2026-12-09T00:15:29+01:00", EventKind::kResumed, "a", 0),
            Ev("2026-12-09T00:20:00+01:00", EventKind::kFailing, "a", 0),
            Ev("2026-12-09T00:20:30+01:00", EventKind::kResumed, "a", 0),
            Ev("2026-12-09T00:30:00+01:00", EventKind::kTrain, "a", 0),
        },
        "2026-12-09T00:00:00+01:00", "2026-12-09T01:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 1u);
    const Lane& a = t.lanes[0];
    ExpectSpans(
        a, {
               {"2026-12-09T00:00:00+01:00", "2026-12-09T00:00:06+01:00", LaneState::kConnecting},
               // silent from the eleventh quiet wait, 30 s after the first
               {"2026-12-09T00:00:06+01:00", "2026-12-09T00:10:30+01:00", LaneState::kConnected},
               {"2026-12-09T00:10:30+01:00", "2026-12-09T00:11:27+01:00", LaneState::kSilent},
               // the launch and the reconnect of the restart stay down
               {"2026-12-09T00:11:27+01:00", "2026-12-09T00:13:03+01:00", LaneState::kDown},
               {"2026-12-09T00:13:03+01:00", "2026-12-09T00:20:00+01:00", LaneState::kConnected},
               {"2026-12-09T00:20:00+01:00", "2026-12-09T00:20:30+01:00", LaneState::kFailing},
               {"2026-12-09T00:20:30+01:00", "2026-12-09T01:00:00+01:00", LaneState::kConnected},
           });
    EXPECT_EQ(a.markerCounts[static_cast<int>(MarkerKind::kTermination)], 1);
    EXPECT_EQ(a.markerCounts[static_cast<int>(MarkerKind::kLaunch)], 1);
    EXPECT_EQ(a.markerCounts[static_cast<int>(MarkerKind::kTrain)], 1);
    ASSERT_EQ(a.markers.size(), 3u);
    EXPECT_EQ(a.markers[0].kind, MarkerKind::kTermination);
    EXPECT_EQ(a.stateMs[static_cast<int>(LaneState::kDown)], 96000);
    EXPECT_TRUE(t.daemonOff.empty());
}

TEST(TimelineSpans, ADayThatStartsMidOutageStartsDown) {
    const Timeline t = Build(
        {
            Started("2026-12-08T20:00:00+01:00", 1),
            Ev("2026-12-08T20:00:03+01:00", EventKind::kConnected, "a", 0),
            Ev("2026-12-08T23:50:00+01:00", EventKind::kTerminated, "a", 0),
            Ev("2026-12-08T23:51:00+01:00", EventKind::kLaunched, "a", 0),
            Ev("2026-12-08T23:52:00+01:00", EventKind::kReconnect, "a", 0),
            Ev("2026-12-09T00:30:00+01:00", EventKind::kReconnect, "a", 0),
            Ev("2026-12-09T01:00:00+01:00", EventKind::kConnected, "a", 0),
        },
        "2026-12-09T00:00:00+01:00", "2026-12-10T00:00:00+01:00", "2026-12-09T02:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 1u);
    ExpectSpans(
        t.lanes[0],
        {
            {"2026-12-09T00:00:00+01:00", "2026-12-09T01:00:00+01:00", LaneState::kDown},
            // the last state lasts until the end given (now), not the day's
            {"2026-12-09T01:00:00+01:00", "2026-12-09T02:00:00+01:00", LaneState::kConnected},
        });
    // The termination and the launch were the day before.
    EXPECT_EQ(t.lanes[0].markerCounts[static_cast<int>(MarkerKind::kTermination)], 0);
    EXPECT_TRUE(t.lanes[0].markers.empty());
}

// A day's file read alone: its midnight state lines tell the whole day of
// a quiet station, where nothing else happened.
TEST(TimelineSpans, TheMidnightStateLinesAloneTellTheDay) {
    Event connected = Ev("2026-12-09T00:00:00+01:00", EventKind::kState, "a", 0);
    connected.state = "connected";
    Event down = Ev("2026-12-09T00:00:00+01:00", EventKind::kState, "b", 1);
    down.state = "down";
    // Quiet since 10 s before midnight: silent only once the gap is 30 s
    // long, as the status tells it, not from the state line on.
    Event quiet = Ev("2026-12-09T00:00:00+01:00", EventKind::kState, "c", 2);
    quiet.state = "silent";
    quiet.since = "2026-12-08T23:59:50+01:00";
    const Timeline t =
        Build({connected, down, quiet}, "2026-12-09T00:00:00+01:00", "2026-12-10T00:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 3u);
    ExpectSpans(t.lanes[2],
                {{"2026-12-09T00:00:00+01:00", "2026-12-09T00:00:20+01:00", LaneState::kConnected},
                 {"2026-12-09T00:00:20+01:00", "2026-12-10T00:00:00+01:00", LaneState::kSilent}});
    ExpectSpans(t.lanes[0], {{"2026-12-09T00:00:00+01:00", "2026-12-10T00:00:00+01:00",
                              LaneState::kConnected}});
    ExpectSpans(t.lanes[1],
                {{"2026-12-09T00:00:00+01:00", "2026-12-10T00:00:00+01:00", LaneState::kDown}});
    EXPECT_TRUE(t.daemonOff.empty());
}

TEST(TimelineSpans, DaemonStopsAndCrashesLeaveItOff) {
    const Timeline t = Build(
        {
            Started("2026-12-09T08:00:00+01:00", 2),
            Ev("2026-12-09T08:00:03+01:00", EventKind::kConnected, "a", 0),
            Ev("2026-12-09T08:00:04+01:00", EventKind::kThreadNotStarted, "b", 1),
            Ev("2026-12-09T10:00:00+01:00", EventKind::kDaemonStopped),
            // The daemon writes its configuration's lines before its start.
            Ev("2026-12-09T10:29:59+01:00", EventKind::kConfigLoaded),
            Started("2026-12-09T10:30:00+01:00", 2),
            Ev("2026-12-09T10:30:03+01:00", EventKind::kConnected, "a", 0),
            Ev("2026-12-09T11:00:00+01:00", EventKind::kTrain, "a", 0),
            // The daemon ends here without a word; its next start tells.
            Ev("2026-12-09T11:59:59+01:00", EventKind::kConfigLoaded),
            Ev("2026-12-09T11:59:59+01:00", EventKind::kConfigPitfalls),
            Started("2026-12-09T12:00:00+01:00", 1),
            Ev("2026-12-09T12:00:09+01:00", EventKind::kConnected, "a", 0),
        },
        "2026-12-09T08:00:00+01:00", "2026-12-09T13:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 2u);
    ExpectSpans(
        t.lanes[0],
        {
            {"2026-12-09T08:00:00+01:00", "2026-12-09T08:00:03+01:00", LaneState::kConnecting},
            {"2026-12-09T08:00:03+01:00", "2026-12-09T10:00:00+01:00", LaneState::kConnected},
            {"2026-12-09T10:30:00+01:00", "2026-12-09T10:30:03+01:00", LaneState::kConnecting},
            {"2026-12-09T10:30:03+01:00", "2026-12-09T11:00:00+01:00", LaneState::kConnected},
            {"2026-12-09T12:00:00+01:00", "2026-12-09T12:00:09+01:00", LaneState::kConnecting},
            {"2026-12-09T12:00:09+01:00", "2026-12-09T13:00:00+01:00", LaneState::kConnected},
        });
    // Not watched until the daemon starts again; connecting then, as it is
    // taken again; not taken (1 application) after the crash.
    ExpectSpans(
        t.lanes[1],
        {
            {"2026-12-09T08:00:00+01:00", "2026-12-09T08:00:04+01:00", LaneState::kConnecting},
            {"2026-12-09T08:00:04+01:00", "2026-12-09T10:00:00+01:00", LaneState::kNotWatched},
            {"2026-12-09T10:30:00+01:00", "2026-12-09T11:00:00+01:00", LaneState::kConnecting},
        });
    ASSERT_EQ(t.daemonOff.size(), 2u);
    EXPECT_EQ(t.daemonOff[0].startMs, At("2026-12-09T10:00:00+01:00"));
    EXPECT_EQ(t.daemonOff[0].endMs, At("2026-12-09T10:30:00+01:00"));
    EXPECT_EQ(t.daemonOff[1].startMs, At("2026-12-09T11:00:00+01:00"));
    EXPECT_EQ(t.daemonOff[1].endMs, At("2026-12-09T12:00:00+01:00"));
}

TEST(TimelineSpans, AnApplicationOnlyAssumedAtItsPlaceIsWithdrawn) {
    // config.xml changed between two runs: "new" now holds place 0.
    const Timeline t = Build(
        {
            Started("2026-12-09T08:00:00+01:00", 1),
            Ev("2026-12-09T08:00:03+01:00", EventKind::kConnected, "old", 0),
            Ev("2026-12-09T09:00:00+01:00", EventKind::kDaemonStopped),
            Started("2026-12-09T09:10:00+01:00", 1),
            Ev("2026-12-09T09:10:06+01:00", EventKind::kConnected, "new", 0),
        },
        "2026-12-09T08:00:00+01:00", "2026-12-09T10:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 2u);
    EXPECT_EQ(t.lanes[0].name, "new");
    ExpectSpans(
        t.lanes[0],
        {
            {"2026-12-09T09:10:00+01:00", "2026-12-09T09:10:06+01:00", LaneState::kConnecting},
            {"2026-12-09T09:10:06+01:00", "2026-12-09T10:00:00+01:00", LaneState::kConnected},
        });
    EXPECT_EQ(t.lanes[1].spans.back().endMs, At("2026-12-09T09:00:00+01:00"));

    // And back: after a crash "old" holds place 0 again, and "new" is
    // withdrawn from the third run as "old" was from the second.
    const Timeline back = Build(
        {
            Started("2026-12-09T08:00:00+01:00", 1),
            Ev("2026-12-09T08:00:03+01:00", EventKind::kConnected, "old", 0),
            Ev("2026-12-09T09:00:00+01:00", EventKind::kDaemonStopped),
            Started("2026-12-09T09:10:00+01:00", 1),
            Ev("2026-12-09T09:10:06+01:00", EventKind::kConnected, "new", 0),
            Started("2026-12-09T09:30:00+01:00", 1),
            Ev("2026-12-09T09:30:05+01:00", EventKind::kConnected, "old", 0),
        },
        "2026-12-09T08:00:00+01:00", "2026-12-09T10:00:00+01:00");
    ASSERT_EQ(back.lanes.size(), 2u);
    ExpectSpans(back.lanes[0], {{"2026-12-09T09:10:00+01:00", "2026-12-09T09:10:06+01:00",
                                 LaneState::kConnecting}});
    ExpectSpans(
        back.lanes[1],
        {
            {"2026-12-09T08:00:00+01:00", "2026-12-09T08:00:03+01:00", LaneState::kConnecting},
            {"2026-12-09T08:00:03+01:00", "2026-12-09T09:00:00+01:00", LaneState::kConnected},
            {"2026-12-09T09:30:00+01:00", "2026-12-09T09:30:05+01:00", LaneState::kConnecting},
            {"2026-12-09T09:30:05+01:00", "2026-12-09T10:00:00+01:00", LaneState::kConnected},
        });
}

TEST(TimelineSpans, TheClockGoingBackAnHourKeepsEverySpanInOrder) {
    const CentralEurope zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 10, 25));
    EXPECT_EQ(day.startMs, At("2026-10-25T00:00:00+02:00"));
    EXPECT_EQ(day.endMs - day.startMs, 25 * kMsPerHour);
    std::string hours;
    for (const ClockMark& mark : MakeTimeAxis(zone, day).marks) {
        hours += std::to_string(mark.hour) + " ";
    }
    EXPECT_EQ(hours, "0 1 2 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 ");

    // The journal writes each time with the offset in force: 02:40 in
    // summer time comes before 02:10 in winter time.
    const Timeline t = Build(
        {
            Started("2026-10-25T01:00:00+02:00", 1),
            Ev("2026-10-25T01:00:03+02:00", EventKind::kConnected, "a", 0),
            Ev("2026-10-25T02:40:00+02:00", EventKind::kSilence, "a", 0),
            Ev("2026-10-25T02:10:00+01:00", EventKind::kResumed, "a", 0),
            Ev("2026-10-25T02:50:00+01:00", EventKind::kTerminated, "a", 0),
            Ev("2026-10-25T03:10:00+01:00", EventKind::kConnected, "a", 0),
        },
        "2026-10-25T00:00:00+02:00", "2026-10-26T00:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 1u);
    const Lane& a = t.lanes[0];
    // Silent from 30 s after the silence line.
    EXPECT_EQ(a.stateMs[static_cast<int>(LaneState::kSilent)], 30 * kMsPerMinute - 30000);
    EXPECT_EQ(a.stateMs[static_cast<int>(LaneState::kDown)], 20 * kMsPerMinute);
    int64_t total = 0;
    for (std::size_t i = 0; i < a.spans.size(); ++i) {
        EXPECT_LT(a.spans[i].startMs, a.spans[i].endMs);
        if (i > 0) {
            EXPECT_EQ(a.spans[i - 1].endMs, a.spans[i].startMs);
        }
        total += a.spans[i].endMs - a.spans[i].startMs;
    }
    EXPECT_EQ(total, 24 * kMsPerHour);  // from 01:00 summer time to midnight

    // In the terminal, 100 quarters of an hour, the repeated hour twice.
    const std::string text = TextTimeline(t, day, zone, "station", false);
    const std::size_t row = text.find("\na ");
    ASSERT_NE(row, std::string::npos);
    const std::string cells = text.substr(row + 4, text.find('\n', row + 1) - row - 4);
    EXPECT_EQ(cells.substr(0, 100).find_first_of("  T"), 0u);
    EXPECT_NE(text.find("00  01  02  02  03"), std::string::npos);
}

TEST(TimelineSpans, AnEventOutOfOrderCountsAtTheTimeBeforeIt) {
    const Timeline t = Build(
        {
            Started("2026-12-09T08:00:00+01:00", 1),
            Ev("2026-12-09T08:10:00+01:00", EventKind::kConnected, "a", 0),
            // The clock was set back by hand.
            Ev("2026-12-09T08:05:00+01:00", EventKind::kSilence, "a", 0),
            Ev("2026-12-09T08:20:00+01:00", EventKind::kResumed, "a", 0),
        },
        "2026-12-09T08:00:00+01:00", "2026-12-09T09:00:00+01:00");
    ExpectSpans(
        t.lanes[0],
        {
            {"2026-12-09T08:00:00+01:00", "2026-12-09T08:10:00+01:00", LaneState::kConnecting},
            {"2026-12-09T08:10:00+01:00", "2026-12-09T08:10:30+01:00", LaneState::kConnected},
            {"2026-12-09T08:10:30+01:00", "2026-12-09T08:20:00+01:00", LaneState::kSilent},
            {"2026-12-09T08:20:00+01:00", "2026-12-09T09:00:00+01:00", LaneState::kConnected},
        });
}

Event Control(const char* time, const char* action, bool granted = true) {
    Event e = Ev(time, EventKind::kControl, "a");
    e.action = action;
    e.by = "root";
    e.reason = "firmware";
    e.ok = granted ? 1 : 0;
    return e;
}

TEST(TimelineSpans, PausesGiveMaintenanceThatAStopInterrupts) {
    Event pause = Control("2026-12-09T01:00:00+01:00", "pause");
    pause.until = "2026-12-09T02:00:00+01:00";
    const Timeline t = Build(
        {
            Started("2026-12-09T00:00:00+01:00", 1),
            Ev("2026-12-09T00:00:03+01:00", EventKind::kConnected, "a", 0),
            Control("2026-12-09T00:30:00+01:00", "pause", false),  // refused
            pause,
            Control("2026-12-09T01:10:00+01:00", "pause"),  // a second one changes nothing
            Control("2026-12-09T01:30:00+01:00", "resume"),
            Control("2026-12-09T03:00:00+01:00", "pause"),
            Ev("2026-12-09T04:00:00+01:00", EventKind::kDaemonStopped),
            // The next start keeps the pause, before its own line.
            Control("2026-12-09T05:00:00+01:00", "pause_kept"),
            Started("2026-12-09T05:00:00+01:00", 1),
            Control("2026-12-09T06:00:00+01:00", "pause_ended"),
            Control("2026-12-09T07:00:00+01:00", "pause"),
        },
        "2026-12-09T00:00:00+01:00", "2026-12-09T08:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 1u);
    const std::vector<Maintenance>& m = t.lanes[0].maintenance;
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"2026-12-09T01:00:00+01:00", "2026-12-09T01:30:00+01:00"},
        {"2026-12-09T03:00:00+01:00", "2026-12-09T04:00:00+01:00"},
        {"2026-12-09T05:00:00+01:00", "2026-12-09T06:00:00+01:00"},
        {"2026-12-09T07:00:00+01:00", "2026-12-09T08:00:00+01:00"},
    };
    ASSERT_EQ(m.size(), expected.size());
    for (std::size_t i = 0; i < m.size(); ++i) {
        EXPECT_EQ(m[i].startMs, At(expected[i].first)) << i;
        EXPECT_EQ(m[i].endMs, At(expected[i].second)) << i;
        EXPECT_EQ(m[i].open, i == 3) << i;
    }
    EXPECT_EQ(m[0].by, "root");
    EXPECT_EQ(m[0].reason, "firmware");
    EXPECT_EQ(m[0].untilMs, At("2026-12-09T02:00:00+01:00"));
    // The states go on beneath the maintenance: connected until the stop.
    EXPECT_EQ(t.lanes[0].stateMs[static_cast<int>(LaneState::kConnected)],
              At("2026-12-09T04:00:00+01:00") - At("2026-12-09T00:00:03+01:00"));

    // A window within the second pause: clipped to it.
    const Timeline w = Build({Started("2026-12-09T00:00:00+01:00", 1),
                              Ev("2026-12-09T00:00:03+01:00", EventKind::kConnected, "a", 0),
                              Control("2026-12-09T03:00:00+01:00", "pause")},
                             "2026-12-09T03:30:00+01:00", "2026-12-09T03:40:00+01:00");
    ASSERT_EQ(w.lanes.size(), 1u);
    ASSERT_EQ(w.lanes[0].maintenance.size(), 1u);
    EXPECT_EQ(w.lanes[0].maintenance[0].startMs, At("2026-12-09T03:30:00+01:00"));
    EXPECT_EQ(w.lanes[0].maintenance[0].endMs, At("2026-12-09T03:40:00+01:00"));
}

TEST(TimelineCells, AnOutageShowsHoweverShortTheLongestStateOtherwise) {
    Lane lane;
    const int64_t t0 = At("2026-12-09T00:00:00Z");
    const int64_t q = 15 * kMsPerMinute;
    lane.spans = {
        {t0, t0 + q + 1000, LaneState::kConnected},
        {t0 + q + 1000, t0 + q + 2000, LaneState::kDown},  // one second in cell 1
        {t0 + q + 2000, t0 + 2 * q + 5 * kMsPerMinute, LaneState::kConnected},
        {t0 + 2 * q + 5 * kMsPerMinute, t0 + 3 * q, LaneState::kSilent},  // 10 of 15 minutes
        {t0 + 3 * q, t0 + 4 * q, LaneState::kConnected},
    };
    const std::vector<Span> off = {{t0 + 3 * q + 60000, t0 + 3 * q + 61000, LaneState::kNone}};
    const std::vector<Shade> shades = CellShades(lane, off, t0, t0 + 5 * q, 5);
    EXPECT_EQ(shades, (std::vector<Shade>{Shade::kConnected, Shade::kDown, Shade::kSilent,
                                          Shade::kDaemonOff, Shade::kNone}));
    // The terminal's quarters: what lasted longest, and off only where the
    // daemon was off for most of the cell.
    EXPECT_EQ(DominantCellShades(lane, off, t0, t0 + 5 * q, 5),
              (std::vector<Shade>{Shade::kConnected, Shade::kConnected, Shade::kSilent,
                                  Shade::kConnected, Shade::kNone}));
    lane.spans = {{t0, t0 + 5 * kMsPerMinute, LaneState::kConnected},
                  {t0 + 5 * kMsPerMinute, t0 + 10 * kMsPerMinute, LaneState::kFailing},
                  {t0 + 10 * kMsPerMinute, t0 + q, LaneState::kDown},  // a tie: the urgent
                  {t0 + q, t0 + 2 * q + 7 * kMsPerMinute, LaneState::kConnected}};
    const std::vector<Span> offs = {{t0 + q, t0 + q + 7 * kMsPerMinute, LaneState::kNone},
                                    {t0 + 2 * q, t0 + 2 * q + 8 * kMsPerMinute, LaneState::kNone}};
    EXPECT_EQ(DominantCellShades(lane, offs, t0, t0 + 3 * q, 3),
              (std::vector<Shade>{Shade::kDown, Shade::kConnected, Shade::kDaemonOff}));
}

TEST(LocalTime, DaysOfTheClockChangesAndTimesOnTheCommandLine) {
    const CentralEurope zone;
    // The spring day has 23 hours; 02:30 does not occur, and comes out as
    // the instant the clock jumps.
    const DayWindow spring = MakeDayWindow(zone, DaysFromCivil(2026, 3, 29));
    EXPECT_EQ(spring.endMs - spring.startMs, 23 * kMsPerHour);
    EXPECT_EQ(MakeTimeAxis(zone, spring).marks.size(), 23u);
    TimeSpec when;
    ASSERT_TRUE(ParseTimeSpec("2026-03-29 02:30", &when));
    EXPECT_EQ(ResolveTimeSpec(when, zone, 0) * 1000, At("2026-03-29T03:00:00+02:00"));
    // 02:30 on the autumn day occurs twice: the first.
    ASSERT_TRUE(ParseTimeSpec("2026-10-25T02:30", &when));
    EXPECT_EQ(ResolveTimeSpec(when, zone, 0) * 1000, At("2026-10-25T02:30:00+02:00"));
    ASSERT_TRUE(ParseTimeSpec("2026-12-09", &when));
    EXPECT_EQ(ResolveTimeSpec(when, zone, 0) * 1000, At("2026-12-09T00:00:00+01:00"));
    ASSERT_TRUE(ParseTimeSpec("-2h", &when));
    EXPECT_EQ(ResolveTimeSpec(when, zone, 100000), 100000 - 7200);
    ASSERT_TRUE(ParseTimeSpec("-3d", &when));
    EXPECT_EQ(ResolveTimeSpec(when, zone, 1000000), 1000000 - 3 * 86400);
    ASSERT_TRUE(ParseTimeSpec("-30m", &when));
    EXPECT_EQ(ResolveTimeSpec(when, zone, 100000), 100000 - 1800);
    for (const char* bad :
         {"", "-", "-h", "-m", "-0m", "-0h", "-2", "-2w", "-1234567h", "2026-12-9", "2026-13-01",
          "2026-12-09 24:00", "2026-12-09 12", "2026-12-09 12:00:00", "yesterday"}) {
        EXPECT_FALSE(ParseTimeSpec(bad, &when)) << bad;
    }
}

TEST(LocalTime, AWindowHoldsEveryMomentItsClockTimesShow) {
    int minutes = -1;
    ASSERT_TRUE(ParseClockTime("00:00", &minutes));
    EXPECT_EQ(minutes, 0);
    ASSERT_TRUE(ParseClockTime("24:00", &minutes));
    EXPECT_EQ(minutes, kMinutesPerDay);
    ASSERT_TRUE(ParseClockTime("03:59", &minutes));
    EXPECT_EQ(ClockTimeText(minutes), "03:59");
    for (const char* bad : {"", "3:00", "03:0", "03:60", "24:01", "25:00", "03.00", "03:00 ",
                            "-1:00", "0300", "+3:00"}) {
        EXPECT_FALSE(ParseClockTime(bad, &minutes)) << bad;
    }

    const CentralEurope zone;
    DayWindow w;

    // The clocks go back at 03:00 summer time: 02:00 to 03:00 passes twice.
    const int64_t autumn = DaysFromCivil(2026, 10, 25);
    const struct {
        int from, to;
        const char* start;
        const char* end;
    } autumnCases[] = {
        // within the repeated hour: from the first 02:10 to the second 02:50
        {2 * 60 + 10, 2 * 60 + 50, "2026-10-25T02:10:00+02:00", "2026-10-25T02:50:00+01:00"},
        // up to the repeated hour: not into it
        {60, 2 * 60, "2026-10-25T01:00:00+02:00", "2026-10-25T02:00:00+02:00"},
        {2 * 60, 3 * 60, "2026-10-25T02:00:00+02:00", "2026-10-25T03:00:00+01:00"},
        {0, kMinutesPerDay, "2026-10-25T00:00:00+02:00", "2026-10-26T00:00:00+01:00"},
    };
    for (const auto& c : autumnCases) {
        w = MakeDayWindow(zone, autumn, c.from, c.to);
        EXPECT_EQ(w.startMs, At(c.start)) << c.from;
        EXPECT_EQ(w.endMs, At(c.end)) << c.to;
    }

    // They go forward at 02:00: 02:00 to 03:00 never shows.
    const int64_t spring = DaysFromCivil(2026, 3, 29);
    w = MakeDayWindow(zone, spring, 2 * 60 + 10, 2 * 60 + 50);
    EXPECT_EQ(w.startMs, w.endMs);
    w = MakeDayWindow(zone, spring, 90, 3 * 60 + 30);
    EXPECT_EQ(w.startMs, At("2026-03-29T01:30:00+01:00"));
    EXPECT_EQ(w.endMs - w.startMs, kMsPerHour);
    w = MakeDayWindow(zone, spring, 2 * 60 + 30, 3 * 60);
    EXPECT_EQ(w.startMs, w.endMs);
}

TEST(TimelineAxis, TheTickStepGrowsWithTheWindow) {
    const struct {
        int64_t minutes;
        int step;
    } cases[] = {{1, 1},    {16, 1},   {17, 2},   {32, 2},       {33, 5},
                 {60, 5},   {81, 10},  {160, 10}, {161, 15},     {240, 15},
                 {241, 30}, {480, 30}, {481, 60}, {23 * 60, 60}, {25 * 60, 60}};
    for (const auto& c : cases) {
        EXPECT_EQ(TickStepMinutes(c.minutes * kMsPerMinute), c.step) << c.minutes;
    }
}

TEST(TimelineAxis, MarksAndTitlesFollowTheClock) {
    const CentralEurope zone;
    // Two hours on the autumn day, 02:00 to 03:00 twice: 10-minute ticks,
    // the repeated ones twice, labelled by the clock.
    const DayWindow autumn = MakeDayWindow(zone, DaysFromCivil(2026, 10, 25), 2 * 60, 3 * 60);
    const TimeAxis axis = MakeTimeAxis(zone, autumn);
    EXPECT_EQ(axis.stepMinutes, 10);
    std::string labels;
    for (const ClockMark& mark : axis.marks) {
        labels += MarkLabel(axis, mark) + " ";
    }
    EXPECT_EQ(labels, "02:00 02:10 02:20 02:30 02:40 02:50 02:00 02:10 02:20 02:30 02:40 02:50 ");
    EXPECT_EQ(axis.marks[6].utcMs, At("2026-10-25T02:00:00+01:00"));
    EXPECT_EQ(TimelineTitle(autumn, zone, "st"),
              "Station st, Sunday 2026-10-25, 02:00 (UTC+02:00) to 03:00 (UTC+01:00)");

    const DayWindow evening = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9), 20 * 60, 24 * 60);
    EXPECT_EQ(TimelineTitle(evening, zone, "st"),
              "Station st, Wednesday 2026-12-09, 20:00 to 24:00");
}

TEST(TimelineAxis, AShortRunIsDrawnOverWholeTicksAroundIt) {
    const CentralEurope zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    Timeline timeline;
    int64_t first = 0, last = 0;
    EXPECT_FALSE(TimelineRange(timeline, &first, &last));
    Lane lane;
    lane.spans.push_back(
        {At("2026-12-09T15:52:00+01:00"), At("2026-12-09T16:03:00+01:00"), LaneState::kConnected});
    lane.markers.push_back({At("2026-12-09T16:06:30+01:00"), MarkerKind::kTrain, false, ""});
    timeline.lanes.push_back(lane);
    timeline.daemonOff.push_back(
        {At("2026-12-09T15:50:10+01:00"), At("2026-12-09T15:52:00+01:00"), LaneState::kNone});
    ASSERT_TRUE(TimelineRange(timeline, &first, &last));
    EXPECT_EQ(first, At("2026-12-09T15:50:10+01:00"));
    // Over 16 minutes: ticks of 2 minutes, from 15:50 to 16:08.
    const DayWindow zoomed = ZoomedWindow(zone, day, first, last);
    EXPECT_EQ(zoomed.fromMinute, 15 * 60 + 50);
    EXPECT_EQ(zoomed.toMinute, 16 * 60 + 8);
    EXPECT_EQ(zoomed.startMs, At("2026-12-09T15:50:00+01:00"));
    // A run to the day's last minute stays within the day.
    EXPECT_EQ(ZoomedWindow(zone, day, At("2026-12-09T23:10:00+01:00"), day.endMs).toMinute,
              kMinutesPerDay);
}

TEST(LocalTime, TimesAndDurationsForPeople) {
    EXPECT_EQ(LocalDateTimeText(At("2026-10-25T01:30:00Z"), 60), "2026-10-25 02:30:00+01:00");
    EXPECT_EQ(DurationText(0), "0s");
    EXPECT_EQ(DurationText(200 * kMsPerSecond), "3m 20s");
    EXPECT_EQ(DurationText(5 * kMsPerHour + 12 * kMsPerMinute + 59000), "5h 12m");
    EXPECT_EQ(DurationText(25 * kMsPerHour), "1d 1h");
    EXPECT_EQ(std::string(WeekdayName(DaysFromCivil(2026, 12, 9))), "Wednesday");
}

// A timeline with a hostile name, every state and every marker, over the
// day or a window of it.
Timeline Sample(const char* name, const char* from = "2026-12-09T00:00:00+01:00",
                const char* to = "2026-12-10T00:00:00+01:00") {
    TimelineBuilder builder(At(from), At(to), true);
    Event train = Ev("2026-12-09T06:00:00+01:00", EventKind::kTrain, name, 0);
    train.key = "2026<&>";
    Event launched = Ev("2026-12-09T03:02:00+01:00", EventKind::kLaunched, name, 0);
    launched.ok = 0;
    for (const Event& e : {
             Started("2026-12-09T00:00:00+01:00", 2),
             Ev("2026-12-09T00:00:03+01:00", EventKind::kConnected, name, 0),
             Ev("2026-12-09T00:00:04+01:00", EventKind::kThreadNotStarted, "b", 1),
             Ev("2026-12-09T03:00:00+01:00", EventKind::kSilence, name, 0),
             Ev("2026-12-09T03:01:30+01:00", EventKind::kTerminated, name, 0),
             launched,
             Ev("2026-12-09T04:00:00+01:00", EventKind::kConnected, name, 0),
             Ev("2026-12-09T05:00:00+01:00", EventKind::kFailing, name, 0),
             Ev("2026-12-09T05:30:00+01:00", EventKind::kResumed, name, 0),
             train,
             Ev("2026-12-09T06:00:02+01:00", EventKind::kMismatch, name, 0),
             Ev("2026-12-09T06:00:03+01:00", EventKind::kUninstall, name, 0),
             Ev("2026-12-09T06:00:20+01:00", EventKind::kInstall, name, 0),
             Ev("2026-12-09T20:00:00+01:00", EventKind::kDaemonStopped),
         }) {
        builder.Add(e);
    }
    return builder.Finish(At(to));
}

class FixedZone : public LocalZone {
  public:
    int OffsetMinutesAt(int64_t) const override { return 60; }
};

TEST(TimelineDrawing, TheSvgIsWellFormedSelfContainedAndTitled) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    const std::string hostile = "x<script>alert(1)</script>&\x1b[2J\x01\"'";
    const std::string svg = TimelineSvg(Sample(hostile.c_str()), day, zone, "st<a>tion",
                                        At("2026-12-09T12:00:00+01:00"));
    CXmlDocument document(svg);
    ASSERT_TRUE(document.CheckWellFormed()) << document.GetResultReport();
    for (const char* outside : {"<script", "href", "@import", "http:", "https:", "\x1b", "\x01"}) {
        // The namespace name is the one address an SVG carries.
        std::string rest = svg;
        rest.erase(rest.find("xmlns=\"http://www.w3.org/2000/svg\""), 34);
        EXPECT_EQ(rest.find(outside), std::string::npos) << outside;
    }
    // Every marker is a group with its details as a title.
    document.ResetPosition();
    ASSERT_TRUE(document.FindElement("svg"));
    document.IntoElement();
    int groups = 0;
    while (document.FindElement("g")) {
        ++groups;
        EXPECT_TRUE(document.FindChildElement("title"));
    }
    EXPECT_GE(groups, 7);  // six kinds of marker and the line of now
    for (const char* text : {"Station st&lt;a&gt;tion, Wednesday 2026-12-09",
                             "x&lt;script&gt;alert(1)&lt;/script&gt;&amp;",
                             "train 2026&lt;&amp;&gt;", "#009E73", "#56B4E9", "#F0E442", "#E69F00",
                             "#D55E00", "#CC79A7", "url(#off)", "url(#down)", "FAILED"}) {
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    }
    const std::string html = TimelineHtml(Sample("a"), day, zone, "st", 0);
    EXPECT_EQ(html.find("<!DOCTYPE html>"), 0u);
    EXPECT_NE(html.find("<svg xmlns="), std::string::npos);
}

TEST(TimelineDrawing, CrowdedMarkersAreCountedPerBucketAndLoneOnesDrawn) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    Timeline timeline;
    Lane lane;
    lane.name = "storm";
    lane.index = 0;
    lane.spans.push_back({day.startMs, day.endMs, LaneState::kConnected});
    // A termination every 3 minutes (2 pixels apart), and one launch alone.
    for (int i = 0; i < 480; ++i) {
        lane.markers.push_back(
            {day.startMs + i * 3 * kMsPerMinute, MarkerKind::kTermination, false, "detail"});
    }
    lane.markers.push_back({At("2026-12-09T12:01:00+01:00"), MarkerKind::kLaunch, true, "x"});
    timeline.lanes.push_back(lane);
    const std::string svg = TimelineSvg(timeline, day, zone, "st", 0);
    CXmlDocument document(svg);
    ASSERT_TRUE(document.CheckWellFormed()) << document.GetResultReport();
    int boxes = 0, counted = 0;
    const std::string box = "text-anchor=\"middle\" fill=\"#000000\">";
    for (std::size_t at = svg.find(box); at != std::string::npos; at = svg.find(box, at)) {
        at += box.size();
        ++boxes;
        counted += std::stoi(svg.substr(at));
    }
    EXPECT_EQ(boxes, 60);  // buckets of 24 minutes
    EXPECT_EQ(counted, 480);
    EXPECT_NE(svg.find("storm, 00:00 to 00:24:\n8 \xC3\x97 restart"), std::string::npos);
    EXPECT_NE(svg.find("12:01:00 launched: x"), std::string::npos);
    EXPECT_LT(svg.size(), 40000u);
}

TEST(TimelineDrawing, MarkersStayInTheirLaneAndNowIsNotClipped) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    const std::string svg =
        TimelineSvg(Sample("a"), day, zone, "st", At("2026-12-09T23:58:00+01:00"));
    // Lane a's band: 96 to 140, a line between it and b's, below, without
    // markers; the legend's glyphs under both. A gap of 4 pixels at least
    // between a glyph and the band's edge.
    int inLane = 0;
    const std::string path = "<path d=\"M";
    for (std::size_t at = svg.find(path); at != std::string::npos; at = svg.find(path, at)) {
        at += path.size();
        const double y = std::stod(svg.substr(svg.find(' ', at) + 1));
        if (y < 184) {
            EXPECT_GE(y, 100) << svg.substr(at, 40);
            EXPECT_LE(y, 136) << svg.substr(at, 40);
            ++inLane;
        }
    }
    EXPECT_EQ(inLane, 2);  // the termination and the launch
    EXPECT_NE(svg.find("<line x1=\"0\" y1=\"140\""), std::string::npos);
    EXPECT_NE(svg.find("text-anchor=\"end\">now 23:58</text>"), std::string::npos);
    const std::string early =
        TimelineSvg(Sample("a"), day, zone, "st", At("2026-12-09T01:00:00+01:00"));
    EXPECT_NE(early.find("font-size=\"10\">now 01:00</text>"), std::string::npos);
}

// The texts of the axis's labels in `svg`, in order.
std::vector<std::string> AxisLabels(const std::string& svg) {
    std::vector<std::string> labels;
    const std::string label = "text-anchor=\"middle\" fill=\"#333333\">";
    for (std::size_t at = svg.find(label); at != std::string::npos; at = svg.find(label, at)) {
        at += label.size();
        labels.push_back(svg.substr(at, svg.find('<', at) - at));
    }
    return labels;
}

TEST(TimelineDrawing, AShortWindowHasItsTicksAndNothingOutsideIt) {
    const FixedZone zone;
    const DayWindow window = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9), 3 * 60, 4 * 60);
    const std::string svg =
        TimelineSvg(Sample("a", "2026-12-09T03:00:00+01:00", "2026-12-09T04:00:00+01:00"), window,
                    zone, "st", 0);
    const std::vector<std::string> labels = AxisLabels(svg);
    std::vector<std::string> expected;
    for (int minute = 0; minute < 60; minute += 5) {
        expected.push_back(ClockTimeText(3 * 60 + minute));
    }
    EXPECT_EQ(labels, expected);
    EXPECT_NE(svg.find("Station st, Wednesday 2026-12-09, 03:00 to 04:00"), std::string::npos);
    // The termination inside; the train of 06:00 outside.
    EXPECT_NE(svg.find("03:01:30 restart"), std::string::npos);
    EXPECT_EQ(svg.find("train 2026"), std::string::npos);
}

TEST(TimelineDrawing, TheTerminalDrawingIsPlainUnlessColourIsAsked) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    const std::string plain = TextTimeline(Sample("a\x1b]0;title\x07"), day, zone, "st", false);
    EXPECT_EQ(plain.find('\x1b'), std::string::npos);
    EXPECT_NE(plain.find("Station st, Wednesday 2026-12-09"), std::string::npos);
    // Each row: the name, 96 cells; the failing reads, the restart and the
    // commands at their quarter hours.
    const std::size_t row = plain.find("a?]0;title?");
    ASSERT_NE(row, std::string::npos);
    const std::string cells = plain.substr(row + 12, 96);
    EXPECT_EQ(cells.substr(0, 12), "============");
    EXPECT_EQ(cells.substr(12, 2), "RX");  // the launch shares the restart's quarter
    EXPECT_EQ(cells.substr(20, 3), "!!=");
    EXPECT_EQ(cells.substr(24, 1), "M");  // before the uninstall and install of its quarter
    EXPECT_EQ(cells.substr(80, 16), std::string(16, '.'));
    EXPECT_NE(plain.find("?????"), std::string::npos);  // b not watched
    // The key names what is marked: restarts, not every termination.
    EXPECT_NE(plain.find("R restart  L launched"), std::string::npos);
    EXPECT_EQ(plain.find("terminated"), std::string::npos);
    EXPECT_NE(plain.find("R1 L1 M1 U1 I1, 1 train"), std::string::npos);

    const std::string colour = TextTimeline(Sample("a"), day, zone, "st", true);
    EXPECT_NE(colour.find("\x1b[48;2;0;158;115m"), std::string::npos);  // connected
    EXPECT_NE(colour.find("\x1b[48;2;213;94;0m"), std::string::npos);   // down
}

TEST(TimelineDrawing, TheTerminalCountsRestartsSharingACell) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    Timeline timeline;
    Lane lane;
    lane.name = "a";
    lane.spans.push_back({day.startMs, day.endMs, LaneState::kConnected});
    const auto add = [&](int minute, int n) {
        for (int i = 0; i < n; ++i) {
            const int64_t t = day.startMs + (minute + i) * kMsPerMinute;
            lane.markers.push_back({t, MarkerKind::kTermination, false, ""});
            lane.markers.push_back({t + 1000, MarkerKind::kLaunch, false, ""});
        }
    };
    add(60, 3);
    add(120, 12);
    add(180, 1);
    timeline.lanes.push_back(lane);
    const std::string text = TextTimeline(timeline, day, zone, "st", false);
    EXPECT_NE(text.find("\na   ====3===+===R===="), std::string::npos) << text;
}

TEST(TimelineDrawing, EvidenceIsMarkedBeforeItsRestart) {
    Event written = Ev("2026-12-09T03:01:29+01:00", EventKind::kEvidence, "a", 0);
    written.outcome = "written";
    written.path = "/e/a.dmp";
    Event failed = Ev("2026-12-09T05:01:29+01:00", EventKind::kEvidence, "a", 0);
    failed.outcome = "failed";
    const Timeline t = Build(
        {
            Started("2026-12-09T00:00:00+01:00", 1),
            Ev("2026-12-09T00:00:03+01:00", EventKind::kConnected, "a", 0),
            written,
            Ev("2026-12-09T03:01:30+01:00", EventKind::kTerminated, "a", 0),
            Ev("2026-12-09T04:00:00+01:00", EventKind::kConnected, "a", 0),
            failed,
        },
        "2026-12-09T00:00:00+01:00", "2026-12-10T00:00:00+01:00");
    ASSERT_EQ(t.lanes.size(), 1u);
    const Lane& lane = t.lanes[0];
    EXPECT_EQ(lane.markerCounts[static_cast<int>(MarkerKind::kEvidence)], 2);
    ASSERT_EQ(lane.markers.size(), 3u);
    EXPECT_FALSE(lane.markers[0].failed);
    EXPECT_TRUE(lane.markers[2].failed);

    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    const std::string text = TextTimeline(t, day, zone, "st", false);
    // The dump takes the quarter of its restart; the counts tell both.
    EXPECT_NE(text.find("\na   ============EX"), std::string::npos) << text;
    EXPECT_NE(text.find("R1 E2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  E evidence  "), std::string::npos) << text;
    const std::string svg = TimelineSvg(t, day, zone, "st", 0);
    EXPECT_NE(svg.find("03:01:29 evidence: dump written: /e/a.dmp"), std::string::npos);
    EXPECT_NE(svg.find("stroke-dasharray=\"2 1\"/></g>"), std::string::npos);  // none made
    EXPECT_NE(svg.find(">evidence</text>"), std::string::npos);                // the legend's
}

TEST(TimelineDrawing, MaintenanceIsDrawnOverTheStatesWithWhoAndWhy) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    Timeline timeline;
    Lane lane;
    lane.name = "a";
    lane.spans.push_back({day.startMs, day.endMs, LaneState::kConnected});
    // 01:00 to 02:10, and a pause of five minutes: too short for a cell.
    lane.maintenance.push_back({At("2026-12-09T01:00:00+01:00"), At("2026-12-09T02:10:00+01:00"),
                                "root", "firmware <2.4>", At("2026-12-09T02:00:00+01:00")});
    lane.maintenance.push_back(
        {At("2026-12-09T05:00:00+01:00"), At("2026-12-09T05:05:00+01:00"), "", "", 0, true});
    timeline.lanes.push_back(lane);
    const std::string text = TextTimeline(timeline, day, zone, "st", false);
    EXPECT_NE(text.find("\na   ====/////" + std::string(87, '=') + "\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(". daemon off  / maintenance\n"), std::string::npos) << text;

    const std::string svg = TimelineSvg(timeline, day, zone, "st", 0);
    CXmlDocument document(svg);
    ASSERT_TRUE(document.CheckWellFormed()) << document.GetResultReport();
    EXPECT_NE(svg.find("a: maintenance, 01:00 to 02:10, by root, paused until 02:00: firmware "
                       "&lt;2.4&gt;</title><rect x=\""),
              std::string::npos);
    EXPECT_NE(svg.find("a: maintenance, 05:00 to now, still paused</title>"), std::string::npos);
    EXPECT_NE(svg.find("fill=\"url(#maintenance)\" stroke=\"#333333\"/><text"),
              std::string::npos);  // the legend's
}

TEST(TimelineDrawing, TheTerminalDrawsAWindowInNinetySixCharacters) {
    const FixedZone zone;
    const DayWindow window = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9), 3 * 60, 4 * 60);
    const std::string text =
        TextTimeline(Sample("a", "2026-12-09T03:00:00+01:00", "2026-12-09T04:00:00+01:00"), window,
                     zone, "st", false);
    EXPECT_EQ(text.find("Station st, Wednesday 2026-12-09, 03:00 to 04:00\n"), 0u);
    // A tick every 5 minutes, 8 characters of 37.5 s apart.
    const std::size_t ruler = text.find('\n') + 1;
    EXPECT_EQ(text.substr(ruler, text.find('\n', ruler) - ruler),
              "    03:00   03:05   03:10   03:15   03:20   03:25   03:30   03:35   03:40   03:45   "
              "03:50   03:55");
    // Quiet from 03:00, silent from 03:00:30, terminated at 03:01:30,
    // launched at 03:02 and down.
    EXPECT_NE(text.find("\na   =~RL" + std::string(92, 'X') + "  R1 L1\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nb   " + std::string(96, '?') + "\n"), std::string::npos);
    EXPECT_NE(text.find("\nOne character: 37.5 seconds\n"), std::string::npos);

    for (const auto& c :
         std::vector<std::pair<int64_t, const char*>>{{15 * kMsPerMinute, "15 minutes"},
                                                      {kMsPerMinute, "1 minute"},
                                                      {75 * kMsPerSecond, "1 minute 15 seconds"},
                                                      {112500, "1 minute 52.5 seconds"},
                                                      {kMsPerSecond, "1 second"},
                                                      {625, "0.625 seconds"}}) {
        EXPECT_EQ(CellDurationText(c.first), c.second);
    }
}

}  // namespace
}  // namespace zelkctl
