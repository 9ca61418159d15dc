#include "zelkctl/journal_line.h"

#include <string_view>

#include "zelkctl/journal_time.h"
#include "zelkctl/json_object.h"

namespace zelkctl {

namespace {

// The text fields of the journal and where an Event keeps them. `after`
// (of resumed) shares the place of `cycle`: no kind has both.
struct TextField {
    std::string_view name;
    std::string Event::*member;
};
constexpr TextField kTextFields[] = {
    {"app", &Event::app},        {"endpoint", &Event::endpoint}, {"cycle", &Event::cycle},
    {"after", &Event::cycle},    {"version", &Event::version},   {"path", &Event::path},
    {"report", &Event::report},  {"command", &Event::command},   {"key", &Event::key},
    {"sub_app", &Event::subApp},
};

struct NumberField {
    std::string_view name;
    int64_t Event::*member;
};
constexpr NumberField kNumberFields[] = {
    {"apps", &Event::apps},           {"pid", &Event::pid},
    {"count", &Event::count},         {"waits", &Event::waits},
    {"code", &Event::code},           {"error", &Event::error},
    {"session", &Event::session},     {"processes", &Event::processes},
    {"result", &Event::result},       {"vehicles", &Event::vehicles},
    {"pictures", &Event::pictures},   {"files", &Event::files},
    {"discarded", &Event::discarded}, {"kept", &Event::kept},
};

// The largest application index taken as one; anything else reads as absent.
constexpr int64_t kMaxIndex = 1 << 20;

class EventMembers : public JsonMembers {
  public:
    explicit EventMembers(Event* event) : event_(event) {}

    void Member(std::string_view name, const JsonValue& value) override {
        using Type = JsonValue::Type;
        if (name == "time") {
            timeValid_ = value.type == Type::kString &&
                         ParseRfc3339(value.string, &event_->timeMs, &event_->offsetMinutes);
            return;
        }
        if (name == "event") {
            hasKind_ = value.type == Type::kString && !value.string.empty();
            if (hasKind_) {
                event_->kindName.assign(value.string);
            }
            return;
        }
        if (name == "index") {
            const bool valid = value.type == Type::kNumber && value.integral &&
                               value.integer >= 0 && value.integer <= kMaxIndex;
            event_->index = valid ? static_cast<int>(value.integer) : -1;
            return;
        }
        if (name == "ok") {
            event_->ok = value.type == Type::kBool ? (value.boolean ? 1 : 0) : -1;
            return;
        }
        if (name == "serial") {
            // A text or a number, kept as written.
            if (value.type == Type::kString) {
                event_->serial.assign(value.string);
            } else if (value.type == Type::kNumber && value.integral) {
                event_->serial = std::to_string(value.integer);
            }
            return;
        }
        if (name == "findings") {
            event_->findings.clear();
            if (value.type == Type::kArray && value.stringArray) {
                event_->findings = *value.strings;
            }
            return;
        }
        for (const TextField& field : kTextFields) {
            if (name == field.name) {
                std::string& target = event_->*field.member;
                if (value.type == Type::kString) {
                    target.assign(value.string);
                } else {
                    target.clear();
                }
                return;
            }
        }
        for (const NumberField& field : kNumberFields) {
            if (name == field.name) {
                event_->*field.member =
                    value.type == Type::kNumber && value.integral ? value.integer : kNoNumber;
                return;
            }
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
    event->kindName.clear();
    event->kind = EventKind::kUnknown;
    event->index = -1;
    event->ok = -1;
    event->serial.clear();
    event->findings.clear();
    for (const TextField& field : kTextFields) {
        (event->*field.member).clear();
    }
    for (const NumberField& field : kNumberFields) {
        event->*field.member = kNoNumber;
    }
    EventMembers members(event);
    if (!ReadJsonObject(line, members) || !members.Complete()) {
        return false;
    }
    event->kind = KindByName(event->kindName);
    return true;
}

}  // namespace zelkctl
