#include "journal/time_format.h"

#include <cstdio>
#include <cstring>

#include "journal/civil_date.h"

namespace journal {

namespace {

// Milliseconds of local time since the epoch.
int64_t LocalMs(const Time& time) {
    return time.ms + int64_t{time.offsetMinutes} * kMsPerMinute;
}

// The date of `text` (its first ten bytes) as a day number. The journal's
// lines come a day at a time: the last date read is kept.
bool ReadDate(std::string_view text, int64_t* days) {
    thread_local char lastDate[10] = {'1', '9', '7', '0', '-', '0', '1', '-', '0', '1'};
    thread_local int64_t lastDays = 0;
    if (std::memcmp(text.data(), lastDate, 10) == 0) {
        *days = lastDays;
        return true;
    }
    if (!ParseDate(text.substr(0, 10), days)) {
        return false;
    }
    std::memcpy(lastDate, text.data(), 10);
    lastDays = *days;
    return true;
}

// The fraction of a second at text[*at] (after its ".") in milliseconds;
// false for a "." without digits.
bool ReadFraction(std::string_view text, std::size_t* at, int64_t* ms) {
    ++*at;
    int digits = 0;
    while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') {
        if (digits < 3) {
            *ms = *ms * 10 + (text[*at] - '0');
        }
        ++digits;
        ++*at;
    }
    for (int i = digits; i < 3; ++i) {
        *ms *= 10;
    }
    return digits > 0;
}

// "Z" or "+HH:MM" / "-HH:MM" at text[*at], as minutes.
bool ReadOffset(std::string_view text, std::size_t* at, int* offset) {
    if (*at < text.size() && (text[*at] == 'Z' || text[*at] == 'z')) {
        ++*at;
        *offset = 0;
        return true;
    }
    if (*at >= text.size() || (text[*at] != '+' && text[*at] != '-')) {
        return false;
    }
    const int hours = ParseDigits(text, *at + 1, 2), minutes = ParseDigits(text, *at + 4, 2);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || *at + 3 >= text.size() ||
        text[*at + 3] != ':') {
        return false;
    }
    *offset = (text[*at] == '-' ? -1 : 1) * (hours * 60 + minutes);
    *at += 6;
    return true;
}

}  // namespace

int UtcOffsetMinutes(int64_t seconds, const std::tm& local) {
    const int64_t localSeconds =
        DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * kSecondsPerDay +
        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return static_cast<int>(FloorDiv(localSeconds - seconds, 60));
}

int64_t LocalDay(const Time& time) {
    return FloorDiv(LocalMs(time), kSecondsPerDay * kMsPerSecond);
}

std::string FormatRfc3339(const Time& time) {
    const int64_t day = LocalDay(time);
    const int64_t msOfDay = LocalMs(time) - day * kSecondsPerDay * kMsPerSecond;
    const CivilDate date = CivilFromDays(day);
    const int offset = time.offsetMinutes < 0 ? -time.offsetMinutes : time.offsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", date.year,
                  date.month, date.day, static_cast<int>(msOfDay / kMsPerHour),
                  static_cast<int>(msOfDay / kMsPerMinute % 60),
                  static_cast<int>(msOfDay / kMsPerSecond % 60),
                  static_cast<int>(msOfDay % kMsPerSecond), time.offsetMinutes < 0 ? '-' : '+',
                  offset / 60, offset % 60);
    return text;
}

bool ParseRfc3339(std::string_view text, Time* time) {
    int64_t days = 0;
    if (text.size() < 20 || !ReadDate(text, &days)) {
        return false;
    }
    const char separator = text[10];
    if (separator != 'T' && separator != 't' && separator != ' ') {
        return false;
    }
    const int hour = ParseDigits(text, 11, 2), minute = ParseDigits(text, 14, 2),
              second = ParseDigits(text, 17, 2);
    if (text[13] != ':' || text[16] != ':' || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 60) {
        return false;
    }
    std::size_t at = 19;
    int64_t ms = 0;
    if (at < text.size() && text[at] == '.' && !ReadFraction(text, &at, &ms)) {
        return false;
    }
    int offset = 0;
    if (!ReadOffset(text, &at, &offset) || at != text.size()) {
        return false;
    }
    // A leap second counts as the last millisecond of its minute.
    const int64_t localSeconds =
        days * kSecondsPerDay + hour * 3600 + minute * 60 + (second == 60 ? 59 : second);
    time->ms = (localSeconds - int64_t{offset} * 60) * kMsPerSecond + (second == 60 ? 999 : ms);
    time->offsetMinutes = offset;
    return true;
}

}  // namespace journal
