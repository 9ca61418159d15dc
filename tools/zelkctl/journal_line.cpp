#include "zelkctl/journal_line.h"

#include <string_view>
#include <vector>

#include "zelkctl/journal_time.h"
#include "zelkctl/json_object.h"

namespace zelkctl {

namespace {

enum class FieldKind : uint8_t {
    kTime,      // "time": RFC 3339, required
    kEvent,     // "event": the kind's name, required
    kIndex,     // "index": the application's place, 0 or more
    kOk,        // "ok": true or false
    kSerial,    // "serial": a text or a number, kept as text
    kFindings,  // "findings": an array of texts
    kText,      // a text kept in Field::text
    kNumber,    // an integer kept in Field::number
};

// Every field the journal writes and where an Event keeps it. `after` (of
// resumed) shares the place of `cycle`: no kind has both.
struct Field {
    std::string_view name;
    FieldKind kind;
    std::string Event::*text;
    int64_t Event::*number;
};
constexpr Field kFields[] = {
    {"time", FieldKind::kTime, nullptr, nullptr},
    {"event", FieldKind::kEvent, nullptr, nullptr},
    {"app", FieldKind::kText, &Event::app, nullptr},
    {"index", FieldKind::kIndex, nullptr, nullptr},
    {"endpoint", FieldKind::kText, &Event::endpoint, nullptr},
    {"cycle", FieldKind::kText, &Event::cycle, nullptr},
    {"after", FieldKind::kText, &Event::cycle, nullptr},
    {"count", FieldKind::kNumber, nullptr, &Event::count},
    {"ok", FieldKind::kOk, nullptr, nullptr},
    {"serial", FieldKind::kSerial, nullptr, nullptr},
    {"findings", FieldKind::kFindings, nullptr, nullptr},
    {"version", FieldKind::kText, &Event::version, nullptr},
    {"path", FieldKind::kText, &Event::path, nullptr},
    {"report", FieldKind::kText, &Event::report, nullptr},
    {"command", FieldKind::kText, &Event::command, nullptr},
    {"key", FieldKind::kText, &Event::key, nullptr},
    {"sub_app", FieldKind::kText, &Event::subApp, nullptr},
    {"reason", FieldKind::kText, &Event::reason, nullptr},
    {"apps", FieldKind::kNumber, nullptr, &Event::apps},
    {"pid", FieldKind::kNumber, nullptr, &Event::pid},
    {"waits", FieldKind::kNumber, nullptr, &Event::waits},
    {"code", FieldKind::kNumber, nullptr, &Event::code},
    {"error", FieldKind::kNumber, nullptr, &Event::error},
    {"session", FieldKind::kNumber, nullptr, &Event::session},
    {"processes", FieldKind::kNumber, nullptr, &Event::processes},
    {"result", FieldKind::kNumber, nullptr, &Event::result},
    {"vehicles", FieldKind::kNumber, nullptr, &Event::vehicles},
    {"pictures", FieldKind::kNumber, nullptr, &Event::pictures},
    {"files", FieldKind::kNumber, nullptr, &Event::files},
    {"discarded", FieldKind::kNumber, nullptr, &Event::discarded},
    {"kept", FieldKind::kNumber, nullptr, &Event::kept},
};

// The largest application index taken as one; anything else reads as absent.
constexpr int64_t kMaxIndex = 1 << 20;

// The longest field name, and the fields by the length of their names:
// every line holds about ten names to look up.
constexpr std::size_t kLongestName = 9;
struct FieldsByLength {
    std::vector<const Field*> of[kLongestName + 1];
    FieldsByLength() {
        for (const Field& field : kFields) {
            of[field.name.size()].push_back(&field);
        }
    }
};

const Field* FieldNamed(std::string_view name) {
    static const FieldsByLength byLength;
    if (name.size() > kLongestName) {
        return nullptr;
    }
    for (const Field* field : byLength.of[name.size()]) {
        if (field->name[0] == name[0] && field->name == name) {
            return field;
        }
    }
    return nullptr;
}

class EventMembers : public JsonMembers {
  public:
    explicit EventMembers(Event* event) : event_(event) {}

    void Member(std::string_view name, const JsonValue& value) override {
        using Type = JsonValue::Type;
        const Field* field = name.empty() ? nullptr : FieldNamed(name);
        if (field == nullptr) {
            return;  // a field this zelkctl does not know
        }
        const bool text = value.type == Type::kString;
        const bool integer = value.type == Type::kNumber && value.integral;
        switch (field->kind) {
            case FieldKind::kTime:
                timeValid_ =
                    text && ParseRfc3339(value.string, &event_->timeMs, &event_->offsetMinutes);
                break;
            case FieldKind::kEvent:
                hasKind_ = text && !value.string.empty();
                event_->kindName.assign(hasKind_ ? value.string : std::string_view());
                break;
            case FieldKind::kIndex:
                event_->index = integer && value.integer >= 0 && value.integer <= kMaxIndex
                                    ? static_cast<int>(value.integer)
                                    : -1;
                break;
            case FieldKind::kOk:
                event_->ok = value.type == Type::kBool ? (value.boolean ? 1 : 0) : -1;
                break;
            case FieldKind::kSerial:
                if (text) {
                    event_->serial.assign(value.string);
                } else {
                    event_->serial = integer ? std::to_string(value.integer) : std::string();
                }
                break;
            case FieldKind::kFindings:
                event_->findings.clear();
                if (value.type == Type::kArray && value.stringArray) {
                    event_->findings = *value.strings;
                }
                break;
            case FieldKind::kText:
                (event_->*field->text).assign(text ? value.string : std::string_view());
                break;
            case FieldKind::kNumber:
                event_->*field->number = integer ? value.integer : kNoNumber;
                break;
        }
    }

    bool Complete() const { return timeValid_ && hasKind_; }

  private:
    Event* event_;
    bool timeValid_ = false;
    bool hasKind_ = false;
};

}  // namespace

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

bool ParseJournalLine(std::string_view line, Event* event) {
    // Cleared field by field, so that a reused Event keeps its strings' room.
    event->kind = EventKind::kUnknown;
    event->index = -1;
    event->ok = -1;
    event->findings.clear();
    event->kindName.clear();
    event->serial.clear();
    for (const Field& field : kFields) {
        if (field.text != nullptr) {
            (event->*field.text).clear();
        } else if (field.number != nullptr) {
            event->*field.number = kNoNumber;
        }
    }
    EventMembers members(event);
    if (!ReadJsonObject(line, members) || !members.Complete()) {
        return false;
    }
    event->kind = KindByName(event->kindName);
    return true;
}

}  // namespace zelkctl
