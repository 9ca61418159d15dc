// Any bytes as the times of the journal and of zelkctl's command line, in a
// time zone the first bytes choose (a fixed offset, or one clock change
// near the time read). An RFC 3339 time that reads writes a time that reads
// back the same, on the local day its text names; dates and clock times
// read and write back their own text; a time of the command line resolves
// to an instant whose clock shows it (or to the jump that skips it); a
// day's window lasts as long as its clock times say, give or take the
// change, with its hour marks inside it in order. The rest of the bytes, cut
// at line ends, are a history and a timeline command line: what it takes,
// it takes checked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "journal/civil_date.h"
#include "journal/time_format.h"
#include "zelkctl/history_command.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_command.h"

namespace {

using journal::kMsPerMinute;
using journal::kMsPerSecond;
using journal::kSecondsPerDay;

constexpr size_t kMaxInputBytes = 4096;
constexpr int kMaxOffsetMinutes = 24 * 60 - 1;

// A fixed offset until `changeAt` (UTC seconds), another from then on.
class OneChangeZone final : public zelkctl::LocalZone {
  public:
    OneChangeZone(int before, int after, int64_t changeAt)
        : before_(before), after_(after), changeAt_(changeAt) {}
    int OffsetMinutesAt(int64_t utcSeconds) const override {
        return utcSeconds < changeAt_ ? before_ : after_;
    }
    int Change() const { return std::abs(after_ - before_); }

  private:
    int before_, after_;
    int64_t changeAt_;
};

int Offset(uint8_t high, uint8_t low) {
    return (high << 8 | low) % (2 * kMaxOffsetMinutes + 1) - kMaxOffsetMinutes;
}

void CheckRfc3339(std::string_view text) {
    journal::Time time;
    if (!journal::ParseRfc3339(text, &time)) {
        return;
    }
    int64_t day = 0;
    FUZZ_CHECK(journal::ParseDate(text.substr(0, 10), &day));
    FUZZ_CHECK(journal::LocalDay(time) == day);
    const std::string written = journal::FormatRfc3339(time);
    journal::Time again;
    FUZZ_CHECK(journal::ParseRfc3339(written, &again));
    FUZZ_CHECK(again.ms == time.ms && again.offsetMinutes == time.offsetMinutes);
    FUZZ_CHECK(journal::FormatRfc3339(again) == written);
    // zelkctl's rows tell it to the second, and that reads back too.
    const std::string shown = zelkctl::LocalDateTimeText(time.ms, time.offsetMinutes);
    FUZZ_CHECK(journal::ParseRfc3339(shown, &again));
    FUZZ_CHECK(again.ms == journal::FloorDiv(time.ms, kMsPerSecond) * kMsPerSecond);
}

void CheckDatesAndClocks(std::string_view text) {
    int64_t day = 0;
    if (journal::ParseDate(text, &day)) {
        FUZZ_CHECK(journal::DateText(day) == text);
    }
    int minutes = 0;
    if (zelkctl::ParseClockTime(text, &minutes)) {
        FUZZ_CHECK(minutes >= 0 && minutes <= journal::kMinutesPerDay);
        FUZZ_CHECK(zelkctl::ClockTimeText(minutes) == text);
    }
}

// The instant of local time `local` (seconds) under `zone`: its clock shows
// `local` there, or `local` is skipped and the clock jumps over it there.
void CheckInstant(const zelkctl::LocalZone& zone, int64_t local, int64_t utc) {
    const int64_t shown = utc + int64_t{zone.OffsetMinutesAt(utc)} * 60;
    if (shown != local) {
        const int64_t justBefore = utc - 1 + int64_t{zone.OffsetMinutesAt(utc - 1)} * 60;
        FUZZ_CHECK(justBefore < local && local < shown);
    }
}

void CheckDay(const OneChangeZone& zone, int64_t day, int fromMinute, int toMinute) {
    const zelkctl::DayWindow window = zelkctl::MakeDayWindow(zone, day, fromMinute, toMinute);
    FUZZ_CHECK(window.startMs <= window.endMs);
    const int64_t nominal = int64_t{toMinute - fromMinute} * kMsPerMinute;
    FUZZ_CHECK(std::llabs(window.endMs - window.startMs - nominal) <=
               int64_t{zone.Change()} * kMsPerMinute);
    for (const int step : {15, 60}) {
        const std::vector<zelkctl::ClockMark> marks =
            zelkctl::ClockMarks(zone, window.startMs, window.endMs, step);
        int64_t last = window.startMs - 1;
        for (const zelkctl::ClockMark& mark : marks) {
            FUZZ_CHECK(mark.utcMs > last && mark.utcMs < window.endMs);
            FUZZ_CHECK((mark.hour * 60 + mark.minute) % step == 0);
            last = mark.utcMs;
        }
    }
}

void CheckTimeSpec(std::string_view text, const OneChangeZone& zone) {
    zelkctl::TimeSpec when;
    if (!zelkctl::ParseTimeSpec(text, &when)) {
        return;
    }
    const int64_t now = 1796782455;  // 2026-12-09
    const int64_t utc = zelkctl::ResolveTimeSpec(when, zone, now);
    if (when.relative) {
        FUZZ_CHECK(when.seconds > 0 && utc == now - when.seconds);
        return;
    }
    CheckInstant(zone, when.seconds, utc);
    const int64_t last = zelkctl::LocalToUtcSeconds(zone, when.seconds, zelkctl::Occurrence::kLast);
    CheckInstant(zone, when.seconds, last);
    FUZZ_CHECK(utc <= last);
    FUZZ_CHECK(!zelkctl::DurationText((last - utc) * kMsPerSecond).empty());
    CheckDay(zone, journal::FloorDiv(when.seconds, kSecondsPerDay), 0, journal::kMinutesPerDay);
}

// `lines` as the arguments after a journal command.
void CheckCommandLine(bool timeline, const std::vector<std::string>& lines,
                      const OneChangeZone& zone) {
    std::vector<std::string> arguments{timeline ? "timeline" : "history"};
    arguments.insert(arguments.end(), lines.begin(), lines.end());
    std::string error;
    zelkctl::TimeSpec when;
    if (!timeline) {
        zelkctl::HistoryOptions o;
        if (!zelkctl::ParseHistoryOptions(arguments, &o, &error)) {
            FUZZ_CHECK(error.find('\n') == std::string::npos);
            return;
        }
        FUZZ_CHECK(o.since.empty() || zelkctl::ParseTimeSpec(o.since, &when));
        FUZZ_CHECK(o.until.empty() || zelkctl::ParseTimeSpec(o.until, &when));
        return;
    }
    zelkctl::TimelineOptions o;
    if (!zelkctl::ParseTimelineOptions(arguments, &o, &error)) {
        FUZZ_CHECK(error.find('\n') == std::string::npos);
        return;
    }
    int64_t day = 0;
    FUZZ_CHECK(o.day.empty() || journal::ParseDate(o.day, &day));
    FUZZ_CHECK(0 <= o.fromMinute && o.fromMinute < o.toMinute &&
               o.toMinute <= journal::kMinutesPerDay);
    if (!o.day.empty()) {
        CheckDay(zone, day, o.fromMinute, o.toMinute);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6 || size > kMaxInputBytes) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data + 6), size - 6);
    std::vector<std::string> lines;
    for (size_t begin = 0; begin <= text.size();) {
        size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    // The zone's change falls within a day of the first line's time, when
    // it reads as one; offsets as the first bytes say.
    zelkctl::TimeSpec first;
    const int64_t near =
        zelkctl::ParseTimeSpec(lines[0], &first) && !first.relative ? first.seconds : 0;
    const int64_t changeAt = near + (int64_t{data[4]} - 128) * 675;
    const OneChangeZone zone(Offset(data[0], data[1]),
                             data[5] & 1 ? Offset(data[0], data[1]) : Offset(data[2], data[3]),
                             changeAt);
    for (const std::string& line : lines) {
        CheckRfc3339(line);
        CheckDatesAndClocks(line);
        CheckTimeSpec(line, zone);
    }
    CheckCommandLine((data[5] & 2) != 0, lines, zone);
    return 0;
}
