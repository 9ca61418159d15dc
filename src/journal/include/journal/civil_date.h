// The calendar of the journal: days since 1970-01-01 of the proleptic
// Gregorian calendar, their "YYYY-MM-DD" form, and the units of its times.
// The daemon names its daily files and writes its times with it; zelkctl
// reads them back and draws its days with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace journal {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr int64_t kMsPerHour = 60 * kMsPerMinute;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int kMinutesPerDay = 24 * 60;

// a / b rounded towards minus infinity (b > 0).
int64_t FloorDiv(int64_t a, int64_t b);

struct CivilDate {
    int year;
    int month;  // 1 to 12
    int day;    // 1 to 31
};

// Days since 1970-01-01 of a date, and back.
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);
// True for a real date (1 <= month <= 12, day within its month).
bool ValidDate(int year, int month, int day);

// "YYYY-MM-DD" of a day number (the year in at least four digits).
std::string DateText(int64_t days);
// A date "YYYY-MM-DD" (exactly that form, a real date) as a day number;
// false otherwise.
bool ParseDate(std::string_view text, int64_t* days);

// The unsigned number of exactly `count` decimal digits at text[at], or -1
// when the text is shorter or holds anything else there.
inline int ParseDigits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace journal
