// Any bytes as a journal file, made into everything zelkctl history and
// zelkctl timeline show of it: the history's rows or JSON Lines and its
// summary, and the day's timeline as text (plain and coloured), as SVG or
// HTML and as its summary. The first eight bytes choose the time zone, the
// options and the window around the first event. Nothing may crash or hang;
// the output stays within a fixed multiple of the input; what is meant for a
// terminal holds no control character but the line ends (and, coloured, its
// own escape sequences); the picture is well-formed XML.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "journal/line.h"
#include "markup/markup.h"
#include "zelkctl/history_report.h"
#include "zelkctl/journal_reader.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"
#include "zelkctl/timeline_svg.h"
#include "zelkctl/timeline_text.h"

namespace {

using journal::kMsPerHour;
using journal::kMsPerMinute;

constexpr size_t kParameterBytes = 8;
// Journal text beyond this teaches nothing more, and keeps each run short.
constexpr size_t kMaxJournalBytes = 64 * 1024;
// What the drawings and tables may make of each byte of journal, and of
// none: a lane, a row and a marker each come from a line of their own.
constexpr size_t kOutputPerInputByte = 64;
constexpr size_t kOutputBase = 256 * 1024;
constexpr int kMaxOffsetMinutes = 24 * 60 - 1;

class FixedZone final : public zelkctl::LocalZone {
  public:
    explicit FixedZone(int offset) : offset_(offset) {}
    int OffsetMinutesAt(int64_t) const override { return offset_; }

  private:
    int offset_;
};

// The first event of the journal, which places the window; none: the epoch.
journal::Event FirstEvent(std::string_view text) {
    journal::Event first;
    zelkctl::ReadJournalText(
        text, [&first](const journal::Event& event, std::string_view) { first = event; },
        INT64_MIN);
    return first;
}

// No C0 control but the line feed, no DEL, no C1 control (as UTF-8), and
// escape sequences only where `colour` lets the drawing have its own.
void CheckTerminalText(const std::string& text, bool colour) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x1B && colour) {
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '[');
            continue;
        }
        FUZZ_CHECK(c == '\n' || (c >= 0x20 && c != 0x7F));
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        FUZZ_CHECK(!c1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kParameterBytes || size > kParameterBytes + kMaxJournalBytes) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data + kParameterBytes),
                                size - kParameterBytes);
    const FixedZone zone((data[0] << 8 | data[1]) % (2 * kMaxOffsetMinutes + 1) -
                         kMaxOffsetMinutes);
    const uint8_t flags = data[2];
    const bool colour = flags & 2;
    const journal::Event first = FirstEvent(text);
    const int64_t t0 = first.time.ms;
    const int64_t nowMs = t0 + static_cast<int8_t>(data[7]) * kMsPerHour;

    zelkctl::HistoryQuery query;
    query.json = flags & 1;
    if ((flags & 8) && !first.app.empty()) {
        query.apps.push_back(first.app);
    }
    if (flags & 16) {
        query.kinds.push_back(first.kindName);
    }
    if (flags & 32) {
        query.sinceMs = t0 + static_cast<int8_t>(data[5]) * kMsPerHour;
        query.untilMs = query.sinceMs + (data[6] + 1) * kMsPerMinute * 15;
    }
    zelkctl::HistoryReport report(query, zone);
    const int64_t lines = 1 + static_cast<int64_t>(std::count(text.begin(), text.end(), '\n'));
    const int64_t skipped = zelkctl::ReadJournalText(
        text, [&report](const journal::Event& e, std::string_view line) { report.Add(e, line); });
    FUZZ_CHECK(skipped >= 0 && skipped <= lines);
    std::string history = report.TakeOutput();
    history += report.Finish(nowMs);
    history += zelkctl::SkippedLinesNote(skipped);
    if (!query.json) {
        CheckTerminalText(history, false);
    }

    const int fromMinute = data[3] % 96 * 15;
    const int toMinute = std::min(journal::kMinutesPerDay, fromMinute + 1 + data[4] * 6);
    const int64_t day = journal::FloorDiv(t0 + int64_t{zone.OffsetMinutesAt(0)} * kMsPerMinute,
                                          journal::kSecondsPerDay * journal::kMsPerSecond);
    const zelkctl::DayWindow window = flags & 4
                                          ? zelkctl::MakeDayWindow(zone, day, fromMinute, toMinute)
                                          : zelkctl::MakeDayWindow(zone, day);
    zelkctl::TimelineBuilder builder(window.startMs, window.endMs, true);
    zelkctl::ReadJournalText(
        text, [&builder](const journal::Event& e, std::string_view) { builder.Add(e); },
        window.endMs);
    const zelkctl::Timeline timeline = builder.Finish(std::min(nowMs, window.endMs));
    const std::string station = "station\xE2\x80\xAE";
    const std::string drawn = zelkctl::TextTimeline(timeline, window, zone, station, colour);
    CheckTerminalText(drawn, colour);
    const std::string summary = zelkctl::SummaryText(timeline, window.startMs, window.endMs, zone);
    CheckTerminalText(summary, false);
    const std::string picture = flags & 64
                                    ? zelkctl::TimelineHtml(timeline, window, zone, station, nowMs)
                                    : zelkctl::TimelineSvg(timeline, window, zone, station, nowMs);
    if (!(flags & 64)) {
        CXmlDocument document(picture);
        FUZZ_CHECK(document.CheckWellFormed());
    }

    const size_t made = history.size() + drawn.size() + summary.size() + picture.size();
    FUZZ_CHECK(made <= kOutputBase + kOutputPerInputByte * text.size());
    return 0;
}
