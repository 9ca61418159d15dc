// The timeline: the spans and markers worked out from events (restarts, a
// day that starts mid-outage, daemon restarts and crashes, the end of
// summer time), local days and their hours, and the drawings of them.
#include <gtest/gtest.h>

#include "markup/markup.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"
#include "zelkctl/timeline_style.h"
#include "zelkctl/timeline_svg.h"
#include "zelkctl/timeline_text.h"

namespace zelkctl {
namespace {

int64_t At(const char* rfc3339) {
    int64_t ms = 0;
    int offset = 0;
    EXPECT_TRUE(ParseRfc3339(rfc3339, &ms, &offset)) << rfc3339;
    return ms;
}

Event Ev(const char* time, EventKind kind, const char* app = "", int index = -1) {
    Event e;
    ParseRfc3339(time, &e.timeMs, &e.offsetMinutes);
    e.kind = kind;
    e.kindName = KindName(kind);
    e.app = app;
    e.index = index;
    return e;
}

Event Started(const char* time, int apps) {
    Event e = Ev(time, EventKind::kDaemonStarted);
    e.apps = apps;
    return e;
}

// Central European time: UTC+1, and UTC+2 from the last Sunday of March to
// the last Sunday of October (2026: March 29 and October 25, at 01:00 UTC).
class CentralEurope : public LocalZone {
  public:
    int OffsetMinutesAt(int64_t utcSeconds) const override {
        const int64_t summerFrom = At("2026-03-29T01:00:00Z") / 1000;
        const int64_t summerUntil = At("2026-10-25T01:00:00Z") / 1000;
        return utcSeconds >= summerFrom && utcSeconds < summerUntil ? 120 : 60;
    }
};

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
            Ev("2026-12-09T00:12:57+01:00", EventKind::kReconnect, "a", 0),
            Ev("2026-12-09T00:13:03+01:00", EventKind::kConnected, "a", 0),
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
               {"2026-12-09T00:00:06+01:00", "2026-12-09T00:10:00+01:00", LaneState::kConnected},
               {"2026-12-09T00:10:00+01:00", "2026-12-09T00:11:27+01:00", LaneState::kSilent},
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
}

TEST(TimelineSpans, TheClockGoingBackAnHourKeepsEverySpanInOrder) {
    const CentralEurope zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 10, 25));
    EXPECT_EQ(day.startMs, At("2026-10-25T00:00:00+02:00"));
    EXPECT_EQ(day.endMs - day.startMs, 25 * kMsPerHour);
    std::string hours;
    for (const HourMark& mark : day.hours) {
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
    EXPECT_EQ(a.stateMs[static_cast<int>(LaneState::kSilent)], 30 * kMsPerMinute);
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
    const std::string text = TextTimeline(t, day, "station", false);
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
            {"2026-12-09T08:10:00+01:00", "2026-12-09T08:20:00+01:00", LaneState::kSilent},
            {"2026-12-09T08:20:00+01:00", "2026-12-09T09:00:00+01:00", LaneState::kConnected},
        });
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
}

TEST(LocalTime, DaysOfTheClockChangesAndTimesOnTheCommandLine) {
    const CentralEurope zone;
    // The spring day has 23 hours; 02:30 does not occur, and comes out as
    // the instant the clock jumps.
    const DayWindow spring = MakeDayWindow(zone, DaysFromCivil(2026, 3, 29));
    EXPECT_EQ(spring.endMs - spring.startMs, 23 * kMsPerHour);
    EXPECT_EQ(spring.hours.size(), 23u);
    TimeSpec spec;
    ASSERT_TRUE(ParseTimeSpec("2026-03-29 02:30", &spec));
    EXPECT_EQ(ResolveTimeSpec(spec, zone, 0) * 1000, At("2026-03-29T03:00:00+02:00"));
    // 02:30 on the autumn day occurs twice: the first.
    ASSERT_TRUE(ParseTimeSpec("2026-10-25T02:30", &spec));
    EXPECT_EQ(ResolveTimeSpec(spec, zone, 0) * 1000, At("2026-10-25T02:30:00+02:00"));
    ASSERT_TRUE(ParseTimeSpec("2026-12-09", &spec));
    EXPECT_EQ(ResolveTimeSpec(spec, zone, 0) * 1000, At("2026-12-09T00:00:00+01:00"));
    ASSERT_TRUE(ParseTimeSpec("-2h", &spec));
    EXPECT_EQ(ResolveTimeSpec(spec, zone, 100000), 100000 - 7200);
    ASSERT_TRUE(ParseTimeSpec("-3d", &spec));
    EXPECT_EQ(ResolveTimeSpec(spec, zone, 1000000), 1000000 - 3 * 86400);
    for (const char* bad :
         {"", "-", "-h", "-0h", "-2", "-2w", "-1234567h", "2026-12-9", "2026-13-01",
          "2026-12-09 24:00", "2026-12-09 12", "2026-12-09 12:00:00", "yesterday"}) {
        EXPECT_FALSE(ParseTimeSpec(bad, &spec)) << bad;
    }
}

TEST(LocalTime, Rfc3339TimesAndDurations) {
    int64_t ms = 0;
    int offset = 0;
    ASSERT_TRUE(ParseRfc3339("1969-12-31T23:59:59.5-00:30", &ms, &offset));
    EXPECT_EQ(ms, 1799500);
    EXPECT_EQ(offset, -30);
    ASSERT_TRUE(ParseRfc3339("2024-02-29t12:00:00.123456z", &ms, &offset));
    EXPECT_EQ(ms % 1000, 123);
    for (const char* bad :
         {"2026-12-09T03:14:15", "2026-12-09T03:14:15.+01:00", "2026-12-09T25:00:00Z",
          "2025-02-29T00:00:00Z", "2026-12-09T03:14:15+0100", "2026-12-09T03:14:15Z ",
          "2026-12-09X03:14:15Z"}) {
        EXPECT_FALSE(ParseRfc3339(bad, &ms, &offset)) << bad;
    }
    EXPECT_EQ(LocalDateTimeText(At("2026-10-25T01:30:00Z"), 60), "2026-10-25 02:30:00+01:00");
    EXPECT_EQ(DurationText(0), "0s");
    EXPECT_EQ(DurationText(200 * kMsPerSecond), "3m 20s");
    EXPECT_EQ(DurationText(5 * kMsPerHour + 12 * kMsPerMinute + 59000), "5h 12m");
    EXPECT_EQ(DurationText(25 * kMsPerHour), "1d 1h");
    EXPECT_EQ(std::string(WeekdayName(DaysFromCivil(2026, 12, 9))), "Wednesday");
    int y = 0, m = 0, d = 0;
    CivilFromDays(DaysFromCivil(1600, 2, 29), &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 16000229);
}

// A timeline with a hostile name, every state and every marker.
Timeline Sample(const char* name) {
    TimelineBuilder builder(At("2026-12-09T00:00:00+01:00"), At("2026-12-10T00:00:00+01:00"), true);
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
    return builder.Finish(At("2026-12-10T00:00:00+01:00"));
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
    for (const char* text :
         {"Station st&lt;a&gt;tion, Wednesday 2026-12-09",
          "x&lt;script&gt;alert(1)&lt;/script&gt;&amp;", "train 2026&lt;&amp;&gt;", "#009E73",
          "#56B4E9", "#F0E442", "#E69F00", "#D55E00", "#CC79A7", "url(#off)", "FAILED"}) {
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    }
    const std::string html = TimelineHtml(Sample("a"), day, zone, "st", 0);
    EXPECT_EQ(html.find("<!DOCTYPE html>"), 0u);
    EXPECT_NE(html.find("<svg xmlns="), std::string::npos);
}

TEST(TimelineDrawing, TheTerminalDrawingIsPlainUnlessColourIsAsked) {
    const FixedZone zone;
    const DayWindow day = MakeDayWindow(zone, DaysFromCivil(2026, 12, 9));
    const std::string plain = TextTimeline(Sample("a\x1b]0;title\x07"), day, "st", false);
    EXPECT_EQ(plain.find('\x1b'), std::string::npos);
    EXPECT_NE(plain.find("Station st, Wednesday 2026-12-09"), std::string::npos);
    // Each row: the name, 96 cells; the failing reads, the restart and the
    // commands at their quarter hours.
    const std::size_t row = plain.find("a?]0;title?");
    ASSERT_NE(row, std::string::npos);
    const std::string cells = plain.substr(row + 12, 96);
    EXPECT_EQ(cells.substr(0, 12), "============");
    EXPECT_EQ(cells.substr(12, 2), "TX");  // the launch shares the termination's quarter
    EXPECT_EQ(cells.substr(20, 3), "!!=");
    EXPECT_EQ(cells.substr(24, 1), "M");  // before the uninstall and install of its quarter
    EXPECT_EQ(cells.substr(80, 16), std::string(16, '.'));
    EXPECT_NE(plain.find("?????"), std::string::npos);  // b not watched
    EXPECT_NE(plain.find("T1 L1 M1 U1 I1, 1 train"), std::string::npos);

    const std::string colour = TextTimeline(Sample("a"), day, "st", true);
    EXPECT_NE(colour.find("\x1b[48;2;0;158;115m"), std::string::npos);  // connected
    EXPECT_NE(colour.find("\x1b[48;2;213;94;0m"), std::string::npos);   // down
}

}  // namespace
}  // namespace zelkctl
