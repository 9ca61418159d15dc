// Times of the journal and of zelkctl's command lines: calendar arithmetic,
// RFC 3339 times, local days and their hours, durations. Pure: the local
// time zone comes in as a LocalZone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelkctl {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr int64_t kMsPerHour = 60 * kMsPerMinute;
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int* year, int* month, int* day);
// True for a real date (1 <= month <= 12, day within its month).
bool ValidDate(int year, int month, int day);
// "YYYY-MM-DD" of a day number.
std::string DateText(int64_t days);
// "Monday" to "Sunday".
const char* WeekdayName(int64_t days);
// A date "YYYY-MM-DD" (exactly that form) as a day number; false otherwise.
bool ParseDate(std::string_view text, int64_t* days);

// "2026-12-09T03:14:15.123+01:00": date, "T" (or "t" or a blank), time with
// optional fraction, then "Z" or an offset. False for anything else or a
// field out of range. The instant in milliseconds (fraction cut to them).
bool ParseRfc3339(std::string_view text, int64_t* utcMs, int* offsetMinutes);

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

// The instant of the local wall-clock time `localSeconds` (seconds since
// 1970-01-01 00:00 of the local calendar). A time that occurs twice (the
// hour after the clocks go back) gives the first; one that never occurs
// (the hour skipped when they go forward) the instant where the clock jumps.
int64_t LocalToUtcSeconds(const LocalZone& zone, int64_t localSeconds);

// One local day: its first instant, the first of the next day (25 hours
// later on the day the clocks go back, 23 on the day they go forward), and
// an hour mark at every instant a new local hour begins.
struct HourMark {
    int64_t utcMs;
    int hour;  // local hour, 0 to 23 (a repeated hour comes twice)
};
struct DayWindow {
    int64_t day = 0;  // day number of the local date
    int64_t startMs = 0;
    int64_t endMs = 0;
    std::vector<HourMark> hours;
};
DayWindow MakeDayWindow(const LocalZone& zone, int64_t day);

// A time on zelkctl's command line: "YYYY-MM-DD" (its midnight),
// "YYYY-MM-DD HH:MM" (local time), or "-Nh" / "-Nd" (N hours or days ago).
struct TimeSpec {
    bool relative = false;
    int64_t seconds = 0;  // relative: seconds before now; else local seconds since 1970
};
bool ParseTimeSpec(std::string_view text, TimeSpec* spec);
// The instant `spec` means, in seconds since the epoch.
int64_t ResolveTimeSpec(const TimeSpec& spec, const LocalZone& zone, int64_t nowSeconds);

}  // namespace zelkctl
