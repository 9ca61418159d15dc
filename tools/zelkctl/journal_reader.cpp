#include "zelkctl/journal_reader.h"

#include <algorithm>
#include <cstring>

#include "journal/line.h"
#include "supervision/name_suggestion.h"
#include "zelkctl/event_text.h"

namespace zelkctl {

int64_t ReadJournalText(std::string_view text, const JournalEventSink& take, int64_t stopAtMs,
                        SuspectEvents* suspect) {
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
        if (suspect != nullptr && event.time.ms > suspect->afterMs) {
            ++suspect->count;
            if (suspect->take) {
                suspect->take(event, line);
            }
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

int64_t SuspectAfter(const LocalZone& zone, int64_t day) {
    return MakeDayWindow(zone, day).endMs + 24 * kMsPerHour;
}

std::string SuspectEventsNote(int64_t suspect, const char* fate) {
    if (suspect <= 0) {
        return std::string();
    }
    return std::to_string(suspect) + (suspect == 1 ? " event" : " events") +
           " of the journal with a time more than a day after the day of its file (a clock set "
           "far ahead): " +
           fate;
}

std::string UnknownAppsText(const std::vector<std::string>& asked,
                            const std::vector<std::string>& known, const std::string& where) {
    // Few enough to be listed when none is near.
    constexpr std::size_t kListedNames = 8;
    std::vector<const char*> names;
    names.reserve(known.size());
    for (const std::string& name : known) {
        names.push_back(name.c_str());
    }
    std::string out;
    for (const std::string& name : asked) {
        if (std::find(known.begin(), known.end(), name) != known.end()) {
            continue;
        }
        out += (out.empty() ? "" : "; ") + std::string("no application named \"") +
               Printable(name) + "\" in the journal" + where;
        if (const char* guess = ResembledName(name, names)) {
            out += " (" + Printable(DidYouMean(name, guess, false)) + ")";
        } else if (!known.empty() && known.size() <= kListedNames) {
            std::string list;
            for (const std::string& other : known) {
                list += (list.empty() ? "" : ", ") + Printable(other);
            }
            out += " (it names " + list + ")";
        }
    }
    return out;
}

std::string SkippedLinesNote(int64_t skipped) {
    if (skipped <= 0) {
        return std::string();
    }
    return std::to_string(skipped) + (skipped == 1 ? " line" : " lines") +
           " of the journal skipped: torn by a power cut, or not an event in JSON";
}

}  // namespace zelkctl
