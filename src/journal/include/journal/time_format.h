// The times of the journal's lines: RFC 3339 with milliseconds and the
// local time's offset from UTC, "2026-12-09T03:14:15.123+01:00", written by
// the daemon and read back by zelkctl. Pure: the local time comes in.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace journal {

// An instant, and the local time's offset from UTC at it.
struct Time {
    int64_t ms = 0;  // milliseconds since the epoch (UTC)
    int offsetMinutes = 0;
};

// The offset from UTC, in minutes, of the local time `local` that `seconds`
// since the epoch gave.
int UtcOffsetMinutes(int64_t seconds, const std::tm& local);

// The local date of `time` as days since the epoch.
int64_t LocalDay(const Time& time);

// "2026-12-09T03:14:15.123+01:00": the local time, milliseconds and offset.
std::string FormatRfc3339(const Time& time);

// Reads an RFC 3339 time: date, "T" (or "t" or a blank), time with optional
// fraction, then "Z" or an offset. False for anything else or a field out
// of range. The instant in milliseconds (a finer fraction cut to them; a
// leap second as the last millisecond of its minute).
bool ParseRfc3339(std::string_view text, Time* time);

}  // namespace journal
