#include "zelkctl/journal_time.h"

#include <algorithm>
#include <cstring>

namespace zelkctl {

namespace {

using journal::FloorDiv;
using journal::ParseDigits;

// Writes `value` (0 up to 10^width - 1) as exactly `width` digits at `p`
// and returns the end. The history writes one time per row, millions of
// rows over a month: no printf and no growing strings.
char* PutDigits(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

// The local calendar fields of `utcMs` under `offsetMinutes`.
struct LocalFields {
    int64_t days;  // the local date's day number
    int hour, minute, second;
};

LocalFields Local(int64_t utcMs, int offsetMinutes) {
    const int64_t seconds = FloorDiv(utcMs, kMsPerSecond) + int64_t{offsetMinutes} * 60;
    LocalFields f{};
    f.days = FloorDiv(seconds, kSecondsPerDay);
    const int64_t inDay = seconds - f.days * kSecondsPerDay;
    f.hour = static_cast<int>(inDay / 3600);
    f.minute = static_cast<int>(inDay / 60 % 60);
    f.second = static_cast<int>(inDay % 60);
    return f;
}

// "YYYY-MM-DD" at `p` (years clamped to 0..9999); returns the end.
char* PutDate(char* p, int64_t days) {
    const journal::CivilDate date = journal::CivilFromDays(days);
    p = PutDigits(p, date.year < 0 ? 0 : date.year > 9999 ? 9999 : date.year, 4);
    *p++ = '-';
    p = PutDigits(p, date.month, 2);
    *p++ = '-';
    return PutDigits(p, date.day, 2);
}

// "HH:MM:SS" at `p`; returns the end.
char* PutClock(char* p, int hour, int minute, int second) {
    p = PutDigits(p, hour, 2);
    *p++ = ':';
    p = PutDigits(p, minute, 2);
    *p++ = ':';
    return PutDigits(p, second, 2);
}

// "+HH:MM" at `p`; returns the end.
char* PutOffset(char* p, int offsetMinutes) {
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    *p++ = offsetMinutes < 0 ? '-' : '+';
    p = PutDigits(p, magnitude / 60 % 100, 2);
    *p++ = ':';
    return PutDigits(p, magnitude % 60, 2);
}

}  // namespace

const char* WeekdayName(int64_t days) {
    static const char* const kNames[7] = {"Thursday", "Friday",  "Saturday", "Sunday",
                                          "Monday",   "Tuesday", "Wednesday"};
    return kNames[static_cast<std::size_t>(days - FloorDiv(days, 7) * 7)];
}

bool ParseClockTime(std::string_view text, int* minutes) {
    const int hour = ParseDigits(text, 0, 2), minute = ParseDigits(text, 3, 2);
    if (text.size() != 5 || text[2] != ':' || hour < 0 || minute < 0 || minute > 59 ||
        hour * 60 + minute > kMinutesPerDay) {
        return false;
    }
    *minutes = hour * 60 + minute;
    return true;
}

std::string ClockTimeText(int minutes) {
    char text[8];
    char* p = PutDigits(text, minutes / 60 % 100, 2);
    *p++ = ':';
    return std::string(text, PutDigits(p, minutes % 60, 2));
}

std::string OffsetText(int offsetMinutes) {
    char text[8];
    return std::string(text, PutOffset(text, offsetMinutes));
}

void AppendLocalDateTime(std::string* out, int64_t utcMs, int offsetMinutes) {
    const LocalFields f = Local(utcMs, offsetMinutes);
    // Rows come a day at a time: the last date written is kept.
    thread_local int64_t lastDays = 0;
    thread_local char lastDate[10] = {'1', '9', '7', '0', '-', '0', '1', '-', '0', '1'};
    if (f.days != lastDays) {
        PutDate(lastDate, f.days);
        lastDays = f.days;
    }
    char text[32];
    std::memcpy(text, lastDate, 10);
    char* p = text + 10;
    *p++ = ' ';
    p = PutClock(p, f.hour, f.minute, f.second);
    out->append(text, PutOffset(p, offsetMinutes));
}

std::string LocalDateTimeText(int64_t utcMs, int offsetMinutes) {
    std::string text;
    AppendLocalDateTime(&text, utcMs, offsetMinutes);
    return text;
}

std::string ClockText(int64_t utcMs, int offsetMinutes) {
    const LocalFields f = Local(utcMs, offsetMinutes);
    char text[16];
    return std::string(text, PutClock(text, f.hour, f.minute, f.second));
}

std::string ShortClockText(int64_t utcMs, int offsetMinutes) {
    return ClockText(utcMs, offsetMinutes).substr(0, 5);
}

std::string DurationText(int64_t ms) {
    const int64_t seconds = ms < 0 ? 0 : ms / kMsPerSecond;
    const int64_t units[4] = {seconds / kSecondsPerDay, seconds / 3600 % 24, seconds / 60 % 60,
                              seconds % 60};
    static const char* const kNames[4] = {"d", "h", "m", "s"};
    std::size_t first = 0;
    while (first < 3 && units[first] == 0) {
        ++first;
    }
    std::string text = std::to_string(units[first]) + kNames[first];
    if (first < 3) {
        text += " " + std::to_string(units[first + 1]) + kNames[first + 1];
    }
    return text;
}

int64_t LocalDay(const LocalZone& zone, int64_t utcMs) {
    const int64_t seconds = utcMs / kMsPerSecond;
    const int64_t local = seconds + int64_t{zone.OffsetMinutesAt(seconds)} * 60;
    return local / kSecondsPerDay - (local % kSecondsPerDay < 0 ? 1 : 0);
}

int64_t LocalToUtcSeconds(const LocalZone& zone, int64_t localSeconds, Occurrence which) {
    // The offsets in force a day before and a day after bracket every
    // candidate; a time valid under the earlier one comes first.
    const int before = zone.OffsetMinutesAt(localSeconds - kSecondsPerDay);
    const int after = zone.OffsetMinutesAt(localSeconds + kSecondsPerDay);
    const int order[2] = {which == Occurrence::kFirst ? before : after,
                          which == Occurrence::kFirst ? after : before};
    for (const int offset : order) {
        const int64_t candidate = localSeconds - int64_t{offset} * 60;
        if (zone.OffsetMinutesAt(candidate) == offset) {
            return candidate;
        }
    }
    // A skipped time: where the clock jumps, between the two candidates.
    int64_t low = localSeconds - int64_t{before} * 60;
    int64_t high = localSeconds - int64_t{after} * 60;
    if (low > high) {
        std::swap(low, high);
    }
    const int first = zone.OffsetMinutesAt(low);
    while (high - low > 1) {
        const int64_t middle = low + (high - low) / 2;
        (zone.OffsetMinutesAt(middle) == first ? low : high) = middle;
    }
    return high;
}

DayWindow MakeDayWindow(const LocalZone& zone, int64_t day, int fromMinute, int toMinute) {
    DayWindow window;
    window.day = day;
    window.fromMinute = fromMinute;
    window.toMinute = toMinute;
    const int64_t midnight = day * kSecondsPerDay;
    const int64_t start = LocalToUtcSeconds(zone, midnight + int64_t{fromMinute} * 60);
    // The window ends after the last second before `toMinute`: on the day
    // the clocks go back that is the second pass of a repeated time, and
    // where that second is skipped, the jump itself.
    const int64_t lastLocal = midnight + int64_t{toMinute} * 60 - 1;
    const int64_t last = LocalToUtcSeconds(zone, lastLocal, Occurrence::kLast);
    const bool shown = last + int64_t{zone.OffsetMinutesAt(last)} * 60 == lastLocal;
    const int64_t end = std::max(start, shown ? last + 1 : last);
    window.startMs = start * kMsPerSecond;
    window.endMs = end * kMsPerSecond;
    return window;
}

std::vector<ClockMark> ClockMarks(const LocalZone& zone, int64_t startMs, int64_t endMs,
                                  int stepMinutes) {
    std::vector<ClockMark> marks;
    if (stepMinutes <= 0) {
        return marks;
    }
    // Offsets are whole minutes, so local minutes begin with UTC minutes;
    // each minute of the window is looked at (a day: 1440 look-ups).
    for (int64_t t = FloorDiv(startMs + kMsPerMinute - 1, kMsPerMinute) * kMsPerMinute; t < endMs;
         t += kMsPerMinute) {
        const LocalFields f = Local(t, zone.OffsetMinutesAt(t / kMsPerSecond));
        if (f.second == 0 && (f.hour * 60 + f.minute) % stepMinutes == 0) {
            marks.push_back({t, f.hour, f.minute});
        }
    }
    return marks;
}

bool ParseTimeSpec(std::string_view text, TimeSpec* when) {
    if (!text.empty() && text[0] == '-') {
        // At most six digits: far beyond any journal's 366 days, and no overflow.
        const std::size_t digits = text.size() - 2;
        const char unit = text.back();
        if (text.size() < 3 || digits > 6 || (unit != 'm' && unit != 'h' && unit != 'd')) {
            return false;
        }
        const int count = ParseDigits(text, 1, digits);
        if (count <= 0) {
            return false;
        }
        when->relative = true;
        when->seconds = int64_t{count} * (unit == 'm' ? 60 : unit == 'h' ? 3600 : kSecondsPerDay);
        return true;
    }
    int64_t days = 0;
    if (text.size() < 10 || !ParseDate(text.substr(0, 10), &days)) {
        return false;
    }
    int64_t seconds = days * kSecondsPerDay;
    if (text.size() != 10) {
        const int hour = ParseDigits(text, 11, 2), minute = ParseDigits(text, 14, 2);
        if (text.size() != 16 || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' ||
            hour < 0 || hour > 23 || minute < 0 || minute > 59) {
            return false;
        }
        seconds += hour * 3600 + minute * 60;
    }
    when->relative = false;
    when->seconds = seconds;
    return true;
}

int64_t ResolveTimeSpec(const TimeSpec& when, const LocalZone& zone, int64_t nowSeconds) {
    return when.relative ? nowSeconds - when.seconds : LocalToUtcSeconds(zone, when.seconds);
}

}  // namespace zelkctl
