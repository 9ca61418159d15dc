// Writes the timeline pictures of a day's edges that timeline_browser.py
// opens in a real browser: now at the very end of the day and at its start,
// a long lane name, markers in the day's first and last minute, and a
// window of the last hour ending at now.
#include <cstdio>
#include <string>

#include "central_europe_zone.h"
#include "journal/civil_date.h"
#include "journal/event.h"
#include "zelkctl/timeline_spans.h"
#include "zelkctl/timeline_svg.h"

namespace zelkctl {
namespace {

using journal::Event;
using journal::EventKind;

Event Ev(int64_t ms, EventKind kind, const std::string& app = "", int index = -1) {
    Event e;
    e.time.ms = ms;
    e.kind = kind;
    e.kindName = journal::KindName(kind);
    e.app = app;
    e.index = index;
    return e;
}

// One restart cycle of application `index` at `t`: silence, the dump, its
// termination, the launch, the new connection and a train.
void Cycle(TimelineBuilder* builder, const std::string& app, int index, int64_t t) {
    builder->Add(Ev(t, EventKind::kSilence, app, index));
    Event evidence = Ev(t + 29000, EventKind::kEvidence, app, index);
    evidence.outcome = "written";
    builder->Add(evidence);
    builder->Add(Ev(t + 30000, EventKind::kTerminated, app, index));
    builder->Add(Ev(t + 31000, EventKind::kLaunched, app, index));
    builder->Add(Ev(t + 40000, EventKind::kConnected, app, index));
    Event train = Ev(t + 50000, EventKind::kTrain, app, index);
    train.key = "train " + std::to_string(t);
    builder->Add(train);
}

// The day with every kind of state and marker, and maintenance, on two
// lanes, one of them named at length.
Timeline EdgeDay(const DayWindow& day) {
    TimelineBuilder builder(day.startMs, day.endMs, true);
    const std::string longName =
        "recorder-of-the-eastern-platform-with-a-very-long-name-\xC3\xA4\xC3\xB6\xC3\xBC";
    Event started = Ev(day.startMs, EventKind::kDaemonStarted);
    started.apps = 2;
    builder.Add(started);
    builder.Add(Ev(day.startMs + 3000, EventKind::kConnected, longName, 0));
    builder.Add(Ev(day.startMs + 4000, EventKind::kThreadNotStarted, "b", 1));
    Cycle(&builder, longName, 0, day.startMs + 3 * kMsPerHour);
    builder.Add(Ev(day.startMs + 5 * kMsPerHour, EventKind::kFailing, longName, 0));
    builder.Add(Ev(day.startMs + 5 * kMsPerHour + 1800000, EventKind::kResumed, longName, 0));
    // Maintenance from 07:00 to the day's end.
    Event pause = Ev(day.startMs + 7 * kMsPerHour, EventKind::kControl, longName);
    pause.action = "pause";
    pause.ok = 1;
    pause.by = "root";
    builder.Add(pause);
    // Markers in the last minute of the day.
    Cycle(&builder, longName, 0, day.endMs - 59000);
    return builder.Finish(day.endMs);
}

bool Write(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

int Main(const std::string& folder) {
    const CentralEurope zone;
    const DayWindow day = MakeDayWindow(zone, journal::DaysFromCivil(2026, 12, 9));
    const Timeline edge = EdgeDay(day);
    // A short window as a short run is drawn: 23:00 to the day's end.
    const DayWindow lastHour = MakeDayWindow(zone, day.day, 23 * 60, 24 * 60);
    const bool ok =
        Write(folder + "/day-end.svg", TimelineSvg(edge, day, zone, "st", day.endMs - 1)) &&
        Write(folder + "/day-start.svg", TimelineSvg(edge, day, zone, "st", day.startMs + 1)) &&
        Write(folder + "/window-end.svg",
              TimelineSvg(edge, lastHour, zone, "st", lastHour.endMs - 1));
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace zelkctl

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: timeline_pictures FOLDER\n");
        return 3;
    }
    return zelkctl::Main(argv[1]);
}
