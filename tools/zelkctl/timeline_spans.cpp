#include "zelkctl/timeline_spans.h"

#include <algorithm>

#include "journal/time_format.h"
#include "zelkctl/event_text.h"

namespace zelkctl {

using journal::Event;
using journal::EventKind;
using journal::IsAppKind;
using journal::kNoNumber;

namespace {

// The marker an event draws, if any.
bool MarkerOf(EventKind kind, MarkerKind* marker) {
    switch (kind) {
        case EventKind::kTerminated:
            *marker = MarkerKind::kTermination;
            return true;
        case EventKind::kLaunched:
            *marker = MarkerKind::kLaunch;
            return true;
        case EventKind::kTrain:
            *marker = MarkerKind::kTrain;
            return true;
        case EventKind::kMismatch:
            *marker = MarkerKind::kMismatch;
            return true;
        case EventKind::kUninstall:
            *marker = MarkerKind::kUninstall;
            return true;
        case EventKind::kInstall:
            *marker = MarkerKind::kInstall;
            return true;
        case EventKind::kEvidence:
            *marker = MarkerKind::kEvidence;
            return true;
        default:
            return false;
    }
}

// Appends [from, to) in `state` to `spans`, joined to the last span when it
// continues it.
void Append(std::vector<Span>* spans, LaneState state, int64_t from, int64_t to) {
    if (!spans->empty() && spans->back().state == state && spans->back().endMs == from) {
        spans->back().endMs = to;
    } else {
        spans->push_back({from, to, state});
    }
}

}  // namespace

TimelineBuilder::TimelineBuilder(int64_t windowStartMs, int64_t windowEndMs, bool keepMarkers)
    : windowStartMs_(windowStartMs), windowEndMs_(windowEndMs), keepMarkers_(keepMarkers) {}

void TimelineBuilder::Record(Lane& lane, LaneState state, int64_t from, int64_t to) {
    from = std::max(from, windowStartMs_);
    to = std::min(to, windowEndMs_);
    if (state == LaneState::kNone || from >= to) {
        return;
    }
    Append(&lane.spans, state, from, to);
    lane.stateMs[static_cast<int>(state)] += to - from;
}

void TimelineBuilder::RecordOff(int64_t from, int64_t to) {
    from = std::max(from, windowStartMs_);
    to = std::min(to, windowEndMs_);
    if (from < to) {
        // The state is the same for every off span; kNone marks them.
        Append(&off_, LaneState::kNone, from, to);
    }
}

void TimelineBuilder::Enter(LaneSlot& slot, LaneState state, int64_t t) {
    if (state == slot.state) {
        return;
    }
    Record(slot.lane, slot.state, slot.sinceMs, t);
    slot.state = state;
    slot.sinceMs = t;
}

void TimelineBuilder::SettleSilence(LaneSlot& slot, int64_t t) {
    if (slot.silencePending && t >= slot.silentShownMs) {
        Enter(slot, LaneState::kSilent, slot.silentShownMs);
    }
    slot.silencePending = false;
}

void TimelineBuilder::EndMaintenance(std::string app, int64_t t, bool open) {
    const auto found = paused_.find(app);
    if (found == paused_.end()) {
        return;
    }
    Maintenance m = std::move(found->second);
    paused_.erase(found);
    m.startMs = std::max(m.startMs, windowStartMs_);
    m.endMs = std::min(t, windowEndMs_);
    m.open = open;
    if (m.startMs < m.endMs) {
        maintenance_[std::move(app)].push_back(std::move(m));
    }
}

void TimelineBuilder::ApplyControl(const Event& event, int64_t t) {
    if (event.ok == 0 || event.app.empty()) {
        return;  // refused, or the daemon's own (a reload)
    }
    if (event.action == "pause" || event.action == "pause_kept") {
        if (paused_.count(event.app) != 0) {
            return;
        }
        Maintenance m{t, t, event.by, event.reason};
        journal::Time until;
        if (journal::ParseRfc3339(event.until, &until)) {
            m.untilMs = until.ms;
        }
        paused_.emplace(event.app, std::move(m));
    } else if (event.action == "resume" || event.action == "pause_ended") {
        EndMaintenance(event.app, t, false);
    }
}

void TimelineBuilder::StopAll(int64_t t) {
    // A pause outlives the daemon, but nothing is held while it does not
    // run: its maintenance ends here and begins again when a start keeps
    // the pause. One kept already by the next run's start stays.
    std::vector<std::string> ended;
    for (const auto& pause : paused_) {
        if (pause.second.startMs < t) {
            ended.push_back(pause.first);
        }
    }
    for (const std::string& app : ended) {
        EndMaintenance(app, t, false);
    }
    for (LaneSlot& slot : slots_) {
        SettleSilence(slot, t);
        Enter(slot, LaneState::kNone, t);
        slot.assumed = false;
    }
    assumedAt_.clear();
    running_ = false;
    runStarted_ = false;
    offOpen_ = true;
    offSinceMs_ = t;
}

TimelineBuilder::LaneSlot& TimelineBuilder::SlotFor(const Event& event, int64_t t) {
    const auto found = slotOf_.emplace(std::make_pair(event.index, event.app), slots_.size());
    if (!found.second) {
        return slots_[found.first->second];
    }
    slots_.emplace_back();
    LaneSlot& slot = slots_.back();
    slot.lane.name = event.app;
    slot.lane.index = event.index;
    slot.sinceMs = t;
    // Every application the daemon took connects from its start on.
    if (runStarted_ && (runApps_ == kNoNumber || event.index < runApps_)) {
        slot.state = LaneState::kConnecting;
        slot.sinceMs = runStartMs_;
    }
    return slot;
}

void TimelineBuilder::ApplyAppEvent(LaneSlot& slot, const Event& event, int64_t t) {
    if (!slot.seenInRun) {
        slot.seenInRun = true;
        slot.assumed = false;
        // Another application that was only assumed at this place since the
        // start was not taken in this run: withdraw its assumed span.
        const auto assumed = assumedAt_.find(event.index);
        if (assumed != assumedAt_.end()) {
            for (const std::size_t at : assumed->second) {
                LaneSlot& other = slots_[at];
                if (&other != &slot && other.assumed) {
                    other.assumed = false;
                    other.state = LaneState::kNone;
                }
            }
            assumedAt_.erase(assumed);
        }
    }
    if (!event.endpoint.empty()) {
        slot.lane.endpoint = event.endpoint;
    }
    SettleSilence(slot, t);
    const bool restart = journal::IsRestart(slot.state, event);
    LaneState next = journal::NextState(slot.state, event);
    // A quiet gap is silence worth showing only once it outlasts what the
    // shared rule tolerates; connected until then. A day's opening state
    // line says since when the gap lasts.
    journal::Time since;
    const bool opening = event.kind == EventKind::kState && slot.state != LaneState::kSilent &&
                         journal::ParseRfc3339(event.since, &since) && since.ms <= t;
    if (next == LaneState::kSilent && (event.kind == EventKind::kSilence || opening) &&
        journal::SilenceShownAtMs(opening ? since.ms : t) > t) {
        slot.silencePending = true;
        slot.silentShownMs = journal::SilenceShownAtMs(opening ? since.ms : t);
        next = LaneState::kConnected;
    }
    Enter(slot, next, t);
    MarkerKind marker{};
    // A termination that finds the application down already (the second of
    // a silent one's restart) is no restart of its own: no marker.
    if (!MarkerOf(event.kind, &marker) || (event.kind == EventKind::kTerminated && !restart) ||
        t < windowStartMs_ || t >= windowEndMs_) {
        return;
    }
    ++slot.lane.markerCounts[static_cast<int>(marker)];
    if (keepMarkers_) {
        const bool failed =
            event.kind == EventKind::kEvidence ? event.outcome != "written" : event.ok == 0;
        slot.lane.markers.push_back({event.time.ms, marker, failed, EventDetails(event)});
    }
}

void TimelineBuilder::Add(const Event& event) {
    if (event.kind == EventKind::kControl) {
        // Not the last line of a run either: a start writes the pauses it
        // keeps before its own line.
        ApplyControl(event, anyEvent_ ? std::max(event.time.ms, lastMs_) : event.time.ms);
        return;
    }
    // Only the daemon's start and stop and the applications' events tell
    // what ran when. The configuration's events are left out: the daemon
    // writes them as it starts, before its start line, and they must not
    // read as the last line of the run before.
    if (event.kind != EventKind::kDaemonStarted && event.kind != EventKind::kDaemonStopped &&
        !IsAppKind(event.kind)) {
        return;
    }
    const int64_t t = anyEvent_ ? std::max(event.time.ms, lastMs_) : event.time.ms;
    switch (event.kind) {
        case EventKind::kDaemonStarted:
            if (running_ && anyEvent_) {
                // Started again without a stop: the daemon ended after its
                // last line.
                StopAll(lastMs_);
            }
            if (offOpen_) {
                RecordOff(offSinceMs_, t);
                offOpen_ = false;
            }
            running_ = true;
            runStarted_ = true;
            runStartMs_ = t;
            runApps_ = event.apps;
            assumedAt_.clear();
            for (std::size_t i = 0; i < slots_.size(); ++i) {
                LaneSlot& slot = slots_[i];
                const bool taken = runApps_ == kNoNumber || slot.lane.index < runApps_;
                Enter(slot, taken ? LaneState::kConnecting : LaneState::kNone, t);
                slot.assumed = taken;
                slot.seenInRun = false;
                if (taken) {
                    assumedAt_[slot.lane.index].push_back(i);
                }
            }
            break;
        case EventKind::kDaemonStopped:
            StopAll(t);
            break;
        default:
            if (offOpen_ || !running_) {
                // A line of a running daemon whose start was not seen.
                if (offOpen_) {
                    RecordOff(offSinceMs_, t);
                    offOpen_ = false;
                }
                running_ = true;
            }
            if (!event.app.empty()) {
                ApplyAppEvent(SlotFor(event, t), event, t);
            }
            break;
    }
    anyEvent_ = true;
    lastMs_ = t;
}

Timeline TimelineBuilder::Finish(int64_t endMs) {
    const int64_t end = anyEvent_ ? std::max(endMs, lastMs_) : endMs;
    for (LaneSlot& slot : slots_) {
        SettleSilence(slot, end);
        Record(slot.lane, slot.state, slot.sinceMs, end);
    }
    if (offOpen_) {
        RecordOff(offSinceMs_, end);
    }
    while (!paused_.empty()) {
        EndMaintenance(paused_.begin()->first, end, true);
    }
    for (LaneSlot& slot : slots_) {
        const auto found = maintenance_.find(slot.lane.name);
        if (found != maintenance_.end()) {
            slot.lane.maintenance = found->second;
        }
    }
    Timeline timeline;
    timeline.startMs = windowStartMs_;
    timeline.endMs = windowEndMs_;
    timeline.daemonOff = std::move(off_);
    for (LaneSlot& slot : slots_) {
        if (!slot.lane.spans.empty() || !slot.lane.markers.empty() ||
            std::any_of(std::begin(slot.lane.markerCounts), std::end(slot.lane.markerCounts),
                        [](int n) { return n > 0; })) {
            timeline.lanes.push_back(std::move(slot.lane));
        }
    }
    std::stable_sort(timeline.lanes.begin(), timeline.lanes.end(),
                     [](const Lane& a, const Lane& b) {
                         return a.index != b.index ? a.index < b.index : a.name < b.name;
                     });
    slots_.clear();
    slotOf_.clear();
    maintenance_.clear();
    assumedAt_.clear();
    return timeline;
}

}  // namespace zelkctl
