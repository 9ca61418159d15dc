#include "zelkctl/journal_reader.h"

#include <cstring>

#include "journal/line.h"

namespace zelkctl {

int64_t ReadJournalText(std::string_view text, const JournalEventSink& take, int64_t stopAtMs) {
    int64_t skipped = 0;
    journal::Event event;  // one for every line, so that its strings keep their room
    std::size_t start = 0;
    while (start < text.size()) {
        const void* found = std::memchr(text.data() + start, '\n', text.size() - start);
        const std::size_t end =
            found == nullptr
                ? text.size()
                : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // A byte-order mark, as an editor may put before a file's first
        // line, is no part of the line (nor of what --json passes on).
        if (line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        }
        if (journal::IsBlankLine(line)) {
            continue;
        }
        if (!journal::ParseLine(line, &event)) {
            ++skipped;
            continue;
        }
        take(event, line);
        if (event.time.ms >= stopAtMs) {
            break;
        }
    }
    return skipped;
}

int64_t JournalEnd(const LocalZone& zone, int64_t lastFileDay, int64_t nowMs) {
    return lastFileDay + 1 >= LocalDay(zone, nowMs) ? nowMs
                                                    : MakeDayWindow(zone, lastFileDay).endMs;
}

std::string SkippedLinesNote(int64_t skipped) {
    if (skipped <= 0) {
        return std::string();
    }
    return std::to_string(skipped) + (skipped == 1 ? " line" : " lines") +
           " of the journal skipped: torn by a power cut, or not an event in JSON";
}

}  // namespace zelkctl
