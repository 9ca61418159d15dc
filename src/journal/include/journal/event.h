// One event of the journal, as the daemon writes it and zelkctl reads it:
// its kind, its time, the application it concerns and the fields of its
// kind (which kind has which fields: event.cpp, kKinds).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "journal/time_format.h"

namespace journal {

enum class EventKind : uint8_t {
    kDaemonStarted,
    kDaemonStopped,
    kConfigLoaded,
    kConfigNotLoaded,
    kConfigPitfalls,
    kThreadNotStarted,
    kConnected,
    kSilence,
    kFailing,
    kResumed,
    kTerminated,
    kLaunched,
    kReconnect,
    kTrain,
    kMismatch,
    kUninstall,
    kInstall,
    kBufferOverflow,
    kOutOfMemory,
    // The state of one application as a day's file begins (written at each
    // local midnight), so that a day's file read alone tells the whole day.
    kState,
    // The station's clock moved by more than a minute against the steady
    // clock: from, to.
    kClockJump,
    // A request on the control channel (or a pause's end by its time): app,
    // by, action, reason, until, ok, answer.
    kControl,
    // A kind this reader does not know (a newer daemon's): kept under its
    // name; nothing writes it.
    kUnknown,
};

// The kind named `name` as lines give it, or kUnknown.
EventKind KindByName(std::string_view name);
// The name of a known kind ("" for kUnknown).
const char* KindName(EventKind kind);
// True for the kinds that concern one application (their lines carry app,
// index and endpoint); false for the daemon's own.
bool IsAppKind(EventKind kind);
// Every known kind's name, in the order above, for help and error texts.
std::vector<std::string> KnownKindNames();

// A number field that is absent (from a line, or from an event to write).
constexpr int64_t kNoNumber = INT64_MIN;
// A true-or-false field: 1 true, 0 false, kNoFlag absent.
constexpr int kNoFlag = -1;

// The fields of every kind in one record. The writer writes a kind's own
// fields (numbers and flags only when present); the reader fills whatever
// fields a line holds, leaving the rest absent (empty, kNoNumber, kNoFlag).
struct Event {
    Time time;
    EventKind kind = EventKind::kUnknown;
    std::string kindName;  // as read, for every kind; the writer goes by `kind`
    // An application's kinds: its name (UTF-8), its place in config.xml
    // from 0 (-1 absent) and "ip:port".
    std::string app;
    int index = -1;
    std::string endpoint;
    // The cycle of reconnect, terminated and launched, or what resumed came
    // after (written as "after").
    std::string cycle;
    std::string version, path, report, command, key, serial, subApp, reason;
    // state: the application's state (app_state.h) and since when (RFC 3339,
    // empty when unknown); clock_jump: the time before and after the jump.
    std::string state, since, from, to;
    // control: who asked, what, until when (RFC 3339) and the answer.
    std::string by, action, until, answer;
    std::vector<std::string> findings;
    int64_t apps = kNoNumber, pid = kNoNumber, count = kNoNumber, waits = kNoNumber,
            code = kNoNumber, error = kNoNumber, session = kNoNumber, processes = kNoNumber,
            result = kNoNumber, vehicles = kNoNumber, pictures = kNoNumber, files = kNoNumber,
            discarded = kNoNumber, kept = kNoNumber;
    int ok = kNoFlag, closed = kNoFlag, user = kNoFlag;
};

}  // namespace journal
