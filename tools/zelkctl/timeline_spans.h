// What each application was doing, and what the daemon did about it, over a
// stretch of time: the states as spans and the actions as markers, worked
// out from the journal's events alone. Pure: the same events give the same
// timeline.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "journal/app_state.h"
#include "journal/event.h"

namespace zelkctl {

// An application's state (journal/app_state.h). Palette and glyphs:
// timeline_style.h.
using LaneState = journal::AppState;
constexpr int kLaneStateCount = journal::kAppStateCount;

struct Span {
    int64_t startMs;
    int64_t endMs;  // exclusive
    LaneState state;
};

// kTermination: a termination that began a restart. kEvidence: a dump of
// the application's processes, before a termination.
enum class MarkerKind : uint8_t {
    kTermination,
    kLaunch,
    kTrain,
    kMismatch,
    kUninstall,
    kInstall,
    kEvidence,
};
constexpr int kMarkerKindCount = 7;

struct Marker {
    int64_t timeMs;
    MarkerKind kind;
    bool failed;         // a launch, a command or a dump that did not succeed
    std::string detail;  // the event's details, as history prints them
};

// A stretch in which an operator had taken the application out of
// supervision (paused it): who, why, and the end the pause was given.
struct Maintenance {
    int64_t startMs;
    int64_t endMs;  // exclusive
    std::string by;
    std::string reason;
    int64_t untilMs = 0;  // the pause's planned end; 0: not known
    bool open = false;    // still paused at the end of what was read
};

struct Lane {
    std::string name;  // the application's name as the journal gives it
    int index = -1;    // its place in config.xml from 0, -1 unknown
    std::string endpoint;
    std::vector<Span> spans;  // within the window, in time order, never kNone
    std::vector<Marker> markers;
    std::vector<Maintenance> maintenance;   // within the window, in time order
    int64_t stateMs[kLaneStateCount] = {};  // time in each state within the window
    int markerCounts[kMarkerKindCount] = {};
};

struct Timeline {
    int64_t startMs = 0;
    int64_t endMs = 0;
    // By index, then name. Lanes with neither spans nor markers in the
    // window are left out.
    std::vector<Lane> lanes;
    // When the daemon was not running (stopped, or gone between its last
    // line and a start without a stop before it: a crash), within the window.
    std::vector<Span> daemonOff;
};

// Feeds the events in time order (an event earlier than the one before it
// counts as happening at the same time as that one) and clips what they
// mean to [windowStartMs, windowEndMs). Events of the configuration and of
// unknown kinds change nothing; granted control requests (a pause, kept
// across a start, until a resume or its end) give maintenance, which a
// daemon's stop or crash ends until it keeps the pause again. Events before the window set the
// states the window starts with; an event after it can still close a span
// (a start without a stop before it).
class TimelineBuilder {
  public:
    // `keepMarkers` false: markers are counted, not kept (the history's summary).
    TimelineBuilder(int64_t windowStartMs, int64_t windowEndMs, bool keepMarkers);

    void Add(const journal::Event& event);

    // The timeline, the last states lasting until `endMs` (now, or the
    // window's end when the journal goes past it).
    Timeline Finish(int64_t endMs);

  private:
    struct LaneSlot {
        Lane lane;
        LaneState state = LaneState::kNone;
        int64_t sinceMs = 0;
        // In connecting since the daemon started, on the strength of its
        // place alone: withdrawn when another application turns out to
        // hold that place in this run.
        bool assumed = false;
        bool seenInRun = false;
        // A silence line seen, shown as silent from silentShownMs on
        // (journal::SilenceShownAtMs) unless the next event comes first.
        bool silencePending = false;
        int64_t silentShownMs = 0;
    };

    LaneSlot& SlotFor(const journal::Event& event, int64_t t);
    void Enter(LaneSlot& slot, LaneState state, int64_t t);
    void SettleSilence(LaneSlot& slot, int64_t t);
    void Record(Lane& lane, LaneState state, int64_t from, int64_t to);
    void RecordOff(int64_t from, int64_t to);
    void StopAll(int64_t t);
    void ApplyAppEvent(LaneSlot& slot, const journal::Event& event, int64_t t);
    void ApplyControl(const journal::Event& event, int64_t t);
    // `app` by value: it may be the key of the pause that ends.
    void EndMaintenance(std::string app, int64_t t, bool open);

    int64_t windowStartMs_;
    int64_t windowEndMs_;
    bool keepMarkers_;
    std::vector<LaneSlot> slots_;
    // The slots by application, for journals of many names; and at each
    // place, the slots assumed there since the daemon's start that may still
    // have to be withdrawn: each slot is listed once a run, so that a first
    // event looks at no slot twice.
    std::map<std::pair<int, std::string>, std::size_t> slotOf_;
    std::map<int, std::vector<std::size_t>> assumedAt_;
    std::vector<Span> off_;
    // By application's name (control requests name no place): the pauses
    // in force, and the maintenance that ended within the window.
    std::map<std::string, Maintenance> paused_;
    std::map<std::string, std::vector<Maintenance>> maintenance_;
    bool anyEvent_ = false;
    int64_t lastMs_ = 0;
    bool running_ = false;     // the daemon runs (as far as the events tell)
    bool runStarted_ = false;  // ... and its start was seen
    int64_t runStartMs_ = 0;
    int64_t runApps_ = journal::kNoNumber;
    bool offOpen_ = false;
    int64_t offSinceMs_ = 0;
};

}  // namespace zelkctl
