#include "journal/event.h"

#include <array>

#include "field_table.h"

namespace journal {

namespace {

// Every field, by the place of its row in kFields.
enum class F : uint8_t {
    kNone,  // ends a kind's list
    kTime,
    kEvent,
    kApp,
    kIndex,
    kEndpoint,
    kCycle,
    kAfter,
    kCount,
    kOk,
    kSerial,
    kFindings,
    kVersion,
    kPath,
    kReport,
    kCommand,
    kKey,
    kSubApp,
    kReason,
    kApps,
    kPid,
    kWaits,
    kCode,
    kError,
    kSession,
    kProcesses,
    kResult,
    kVehicles,
    kPictures,
    kFiles,
    kDiscarded,
    kKept,
    kClosed,
    kUser,
    kState,
    kSince,
    kFrom,
    kTo,
    kBy,
    kAction,
    kUntil,
    kAnswer,
};

constexpr Field Text(std::string_view name, std::string Event::*member, bool onlyWhenSet = false) {
    return {name, FieldType::kText, member, nullptr, nullptr, onlyWhenSet};
}
constexpr Field Number(std::string_view name, int64_t Event::*member) {
    return {name, FieldType::kNumber, nullptr, member, nullptr, false};
}
constexpr Field Flag(std::string_view name, int Event::*member) {
    return {name, FieldType::kFlag, nullptr, nullptr, member, false};
}
constexpr Field Other(std::string_view name, FieldType type) {
    return {name, type, nullptr, nullptr, nullptr, false};
}

// In the order of F. `after` (of resumed) shares the place of `cycle`: no
// kind has both.
constexpr Field kFields[] = {
    Other("", FieldType::kText),
    Other("time", FieldType::kTime),
    Other("event", FieldType::kEvent),
    Text("app", &Event::app),
    Other("index", FieldType::kIndex),
    Text("endpoint", &Event::endpoint),
    Text("cycle", &Event::cycle),
    Text("after", &Event::cycle),
    Number("count", &Event::count),
    Flag("ok", &Event::ok),
    Other("serial", FieldType::kSerial),
    Other("findings", FieldType::kFindings),
    Text("version", &Event::version),
    Text("path", &Event::path),
    Text("report", &Event::report),
    Text("command", &Event::command),
    Text("key", &Event::key),
    Text("sub_app", &Event::subApp),
    Text("reason", &Event::reason, true),
    Number("apps", &Event::apps),
    Number("pid", &Event::pid),
    Number("waits", &Event::waits),
    Number("code", &Event::code),
    Number("error", &Event::error),
    Number("session", &Event::session),
    Number("processes", &Event::processes),
    Number("result", &Event::result),
    Number("vehicles", &Event::vehicles),
    Number("pictures", &Event::pictures),
    Number("files", &Event::files),
    Number("discarded", &Event::discarded),
    Number("kept", &Event::kept),
    Flag("closed", &Event::closed),
    Flag("user", &Event::user),
    Text("state", &Event::state),
    Text("since", &Event::since, true),
    Text("from", &Event::from),
    Text("to", &Event::to),
    Text("by", &Event::by),
    Text("action", &Event::action),
    Text("until", &Event::until, true),
    Text("answer", &Event::answer),
};
constexpr std::size_t kFieldCount = sizeof kFields / sizeof kFields[0];
static_assert(kFieldCount == static_cast<std::size_t>(F::kAnswer) + 1, "one row per field");

constexpr std::size_t kMaxOwnFields = 7;

struct KindRow {
    EventKind kind;
    std::string_view name;
    bool app;  // concerns one application
    // Its own fields in the order lines give them. Some the daemon does not
    // write (pid; apps of config_loaded): a reader shows them when a line
    // has them.
    F fields[kMaxOwnFields];
};

// Every kind the journal knows, in the order of EventKind.
constexpr KindRow kKinds[] = {
    {EventKind::kDaemonStarted, "daemon_started", false, {F::kVersion, F::kApps, F::kPid}},
    {EventKind::kDaemonStopped, "daemon_stopped", false, {F::kVersion, F::kApps, F::kPid}},
    {EventKind::kConfigLoaded, "config_loaded", false, {F::kPath, F::kReport, F::kApps}},
    {EventKind::kConfigNotLoaded, "config_not_loaded", false, {F::kPath, F::kReport}},
    {EventKind::kConfigPitfalls, "config_pitfalls", false, {F::kCount, F::kFindings}},
    {EventKind::kThreadNotStarted, "thread_not_started", true, {F::kReason}},
    {EventKind::kConnected, "connected", true, {F::kWaits}},
    {EventKind::kSilence, "silence", true, {}},
    // code: the read failed; closed: the application closed the connection.
    {EventKind::kFailing, "failing", true, {F::kCode, F::kClosed}},
    {EventKind::kResumed, "resumed", true, {F::kAfter, F::kCount}},
    {EventKind::kTerminated, "terminated", true, {F::kCycle, F::kCount, F::kProcesses, F::kResult}},
    {EventKind::kLaunched,
     "launched",
     true,
     {F::kCycle, F::kCount, F::kOk, F::kError, F::kSession, F::kUser, F::kCommand}},
    {EventKind::kReconnect, "reconnect", true, {F::kCycle, F::kCount}},
    {EventKind::kTrain, "train", true, {F::kKey, F::kVehicles, F::kSerial}},
    {EventKind::kMismatch, "mismatch", true, {F::kKey, F::kPictures, F::kFiles}},
    {EventKind::kUninstall, "uninstall", true, {F::kSubApp, F::kCommand, F::kOk, F::kCode}},
    {EventKind::kInstall, "install", true, {F::kSubApp, F::kCommand, F::kOk, F::kCode}},
    {EventKind::kBufferOverflow, "buffer_overflow", true, {F::kDiscarded, F::kKept}},
    {EventKind::kOutOfMemory, "out_of_memory", true, {}},
    {EventKind::kState, "state", true, {F::kState, F::kSince}},
    {EventKind::kClockJump, "clock_jump", false, {F::kFrom, F::kTo}},
    {EventKind::kControl,
     "control",
     false,
     {F::kApp, F::kBy, F::kAction, F::kReason, F::kUntil, F::kOk, F::kAnswer}},
};
constexpr std::size_t kKindCount = sizeof kKinds / sizeof kKinds[0];
static_assert(kKindCount == static_cast<std::size_t>(EventKind::kUnknown),
              "one row per known kind");

constexpr bool KindsInOrder() {
    for (std::size_t i = 0; i < kKindCount; ++i) {
        if (static_cast<std::size_t>(kKinds[i].kind) != i) {
            return false;
        }
    }
    return true;
}
static_assert(KindsInOrder(), "kKinds in the order of EventKind");

const Field* FieldOf(F id) {
    return &kFields[static_cast<std::size_t>(id)];
}

// Each kind's fields as pointers: time and event, app's three, its own;
// one more list, of time and event, for kUnknown.
struct KindFields {
    std::array<std::array<const Field*, 5 + kMaxOwnFields + 1>, kKindCount + 1> of{};
    KindFields() {
        for (std::size_t k = 0; k <= kKindCount; ++k) {
            std::size_t n = 0;
            of[k][n++] = FieldOf(F::kTime);
            of[k][n++] = FieldOf(F::kEvent);
            if (k == kKindCount) {
                break;
            }
            if (kKinds[k].app) {
                for (F id : {F::kApp, F::kIndex, F::kEndpoint}) {
                    of[k][n++] = FieldOf(id);
                }
            }
            for (F id : kKinds[k].fields) {
                if (id != F::kNone) {
                    of[k][n++] = FieldOf(id);
                }
            }
        }
    }
};

// The members of an Event that hold fields, by type, for clearing.
struct Members {
    std::array<std::string Event::*, kFieldCount> texts{};
    std::array<int64_t Event::*, kFieldCount> numbers{};
    std::array<int Event::*, kFieldCount> flags{};
    std::size_t textCount = 0, numberCount = 0, flagCount = 0;
    Members() {
        for (const Field& field : kFields) {
            // `after` shares its member with `cycle`: once is enough.
            if (field.text != nullptr && &field != FieldOf(F::kAfter)) {
                texts[textCount++] = field.text;
            } else if (field.number != nullptr) {
                numbers[numberCount++] = field.number;
            } else if (field.flag != nullptr) {
                flags[flagCount++] = field.flag;
            }
        }
    }
};

}  // namespace

EventKind KindByName(std::string_view name) {
    for (const KindRow& row : kKinds) {
        if (name == row.name) {
            return row.kind;
        }
    }
    return EventKind::kUnknown;
}

const char* KindName(EventKind kind) {
    const auto i = static_cast<std::size_t>(kind);
    return i < kKindCount ? kKinds[i].name.data() : "";
}

bool IsAppKind(EventKind kind) {
    const auto i = static_cast<std::size_t>(kind);
    return i < kKindCount && kKinds[i].app;
}

std::vector<std::string> KnownKindNames() {
    std::vector<std::string> names;
    for (const KindRow& row : kKinds) {
        names.emplace_back(row.name);
    }
    return names;
}

const Field* FieldNamed(std::string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    for (const Field& field : kFields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

const Field* const* FieldsOf(EventKind kind) {
    static const KindFields fields;
    const auto i = static_cast<std::size_t>(kind);
    return fields.of[i < kKindCount ? i : kKindCount].data();
}

void ClearFields(Event* event) {
    static const Members members;
    for (std::size_t i = 0; i < members.textCount; ++i) {
        (event->*members.texts[i]).clear();
    }
    for (std::size_t i = 0; i < members.numberCount; ++i) {
        event->*members.numbers[i] = kNoNumber;
    }
    for (std::size_t i = 0; i < members.flagCount; ++i) {
        event->*members.flags[i] = kNoFlag;
    }
    event->kind = EventKind::kUnknown;
    event->kindName.clear();
    event->index = -1;
    event->serial.clear();
    event->findings.clear();
}

}  // namespace journal
