// zelkctl's times: local days and their hours, clock times and times on
// the command line, dates and times for people, durations. They build on
// the journal's calendar (journal/civil_date.h), whose units and dates
// zelkctl uses under its own names. Pure: the local time zone comes in as
// a LocalZone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "journal/civil_date.h"

namespace zelkctl {

using journal::DateText;
using journal::kMinutesPerDay;
using journal::kMsPerHour;
using journal::kMsPerMinute;
using journal::kMsPerSecond;
using journal::kSecondsPerDay;
using journal::ParseDate;

// "Monday" to "Sunday".
const char* WeekdayName(int64_t days);
// A clock time "HH:MM" (exactly that form) from 00:00 to 24:00, the end of
// the day, as minutes after midnight; false otherwise.
bool ParseClockTime(std::string_view text, int* minutes);
// "HH:MM" of minutes after midnight (0 to kMinutesPerDay).
std::string ClockTimeText(int minutes);

// The local clock at `utcMs` under `offsetMinutes`, as "YYYY-MM-DD HH:MM:SS"
// followed by the offset ("+01:00"), or as "HH:MM:SS", or "HH:MM".
std::string LocalDateTimeText(int64_t utcMs, int offsetMinutes);
void AppendLocalDateTime(std::string* out, int64_t utcMs, int offsetMinutes);
std::string ClockText(int64_t utcMs, int offsetMinutes);
std::string ShortClockText(int64_t utcMs, int offsetMinutes);
// "+01:00", "-05:30", "+00:00".
std::string OffsetText(int offsetMinutes);

// A duration for people: "0s", "45s", "3m 20s", "5h 12m", "2d 3h".
std::string DurationText(int64_t ms);

// The time zone a day is drawn in: the UTC offset in force at an instant.
class LocalZone {
  public:
    virtual int OffsetMinutesAt(int64_t utcSeconds) const = 0;

  protected:
    ~LocalZone() = default;
};

// The day number of the local date at `utcMs`.
int64_t LocalDay(const LocalZone& zone, int64_t utcMs);

// Which instant a local time that occurs twice (the hour after the clocks
// go back) stands for.
enum class Occurrence { kFirst, kLast };

// The instant of the local wall-clock time `localSeconds` (seconds since
// 1970-01-01 00:00 of the local calendar): the first or the last of a time
// that occurs twice; for one that never occurs (the hour skipped when the
// clocks go forward) the instant where the clock jumps.
int64_t LocalToUtcSeconds(const LocalZone& zone, int64_t localSeconds,
                          Occurrence which = Occurrence::kFirst);

// One local day, or the stretch of it from the clock time `fromMinute` to
// `toMinute`: from the first instant the clock shows `fromMinute` to the
// end of the last second it shows a time before `toMinute`. So every
// moment whose clock reads in between lies within: on the day the clocks
// go back, 02:10 to 02:50 runs from the first 02:10 to the second 02:50,
// and the whole day lasts 25 hours; on the day they go forward, 23 hours,
// and a stretch within the skipped hour is empty (startMs == endMs).
struct DayWindow {
    int64_t day = 0;  // day number of the local date
    int fromMinute = 0;
    int toMinute = kMinutesPerDay;
    int64_t startMs = 0;
    int64_t endMs = 0;
    bool WholeDay() const { return fromMinute == 0 && toMinute == kMinutesPerDay; }
};
DayWindow MakeDayWindow(const LocalZone& zone, int64_t day, int fromMinute = 0,
                        int toMinute = kMinutesPerDay);

// An instant where the local clock shows a whole number of minutes.
struct ClockMark {
    int64_t utcMs;
    int hour;  // local hour, 0 to 23
    int minute;
};
// Every instant of [startMs, endMs) whose local time is a whole multiple of
// `stepMinutes` (a divisor of 60, or 60 for the hours) after midnight, in
// time order: a repeated hour's marks come twice, a skipped hour's never.
std::vector<ClockMark> ClockMarks(const LocalZone& zone, int64_t startMs, int64_t endMs,
                                  int stepMinutes);

// A time on zelkctl's command line: "YYYY-MM-DD" (its midnight),
// "YYYY-MM-DD HH:MM" (local time), or "-Nm" / "-Nh" / "-Nd" (N minutes,
// hours or days ago).
struct TimeSpec {
    bool relative = false;
    int64_t seconds = 0;  // relative: seconds before now; else local seconds since 1970
};
bool ParseTimeSpec(std::string_view text, TimeSpec* when);
// The instant `when` means, in seconds since the epoch.
int64_t ResolveTimeSpec(const TimeSpec& when, const LocalZone& zone, int64_t nowSeconds);

}  // namespace zelkctl
