#include <string_view>

#include "field_table.h"
#include "journal/line.h"
#include "json_reader.h"

namespace journal {

namespace {

// The largest application index taken as one; anything else reads as absent.
constexpr int64_t kMaxIndex = 1 << 20;

// Takes the members of one line into an Event. A line the daemon wrote
// holds its fields in the order of its kind: each name is first compared
// with the fields still to come, and looked up only when none is it.
class EventMembers : public JsonMembers {
  public:
    explicit EventMembers(Event* event) : event_(event), next_(FieldsOf(EventKind::kUnknown)) {}

    void Member(std::string_view name, const JsonValue& value) override {
        const Field* field = Expected(name);
        if (field == nullptr) {
            field = FieldNamed(name);
        }
        if (field != nullptr) {
            Take(*field, value);
        }
    }

    bool Complete() const { return timeValid_ && hasKind_; }

  private:
    // The field named `name` among those the line's kind has still to
    // come, or nullptr.
    const Field* Expected(std::string_view name) {
        for (const Field* const* field = next_; *field != nullptr; ++field) {
            if ((*field)->name == name) {
                next_ = field + 1;
                return *field;
            }
        }
        return nullptr;
    }

    void Take(const Field& field, const JsonValue& value) {
        using Type = JsonValue::Type;
        const bool text = value.type == Type::kString;
        const bool integer = value.type == Type::kNumber && value.integral;
        switch (field.type) {
            case FieldType::kTime:
                timeValid_ = text && ParseRfc3339(value.string, &event_->time);
                break;
            case FieldType::kEvent:
                hasKind_ = text && !value.string.empty();
                event_->kindName.assign(hasKind_ ? value.string : std::string_view());
                event_->kind = KindByName(event_->kindName);
                next_ = FieldsOf(event_->kind) + 2;  // after time and event
                break;
            case FieldType::kIndex:
                event_->index = integer && value.integer >= 0 && value.integer <= kMaxIndex
                                    ? static_cast<int>(value.integer)
                                    : -1;
                break;
            case FieldType::kFlag:
                event_->*field.flag = value.type == Type::kBool ? (value.boolean ? 1 : 0) : kNoFlag;
                break;
            case FieldType::kSerial:
                if (text) {
                    event_->serial.assign(value.string);
                } else {
                    event_->serial = integer ? std::to_string(value.integer) : std::string();
                }
                break;
            case FieldType::kFindings:
                event_->findings.clear();
                if (value.type == Type::kArray && value.stringArray) {
                    event_->findings = *value.strings;
                }
                break;
            case FieldType::kText:
                (event_->*field.text).assign(text ? value.string : std::string_view());
                break;
            case FieldType::kNumber:
                event_->*field.number = integer ? value.integer : kNoNumber;
                break;
        }
    }

    Event* event_;
    const Field* const* next_;
    bool timeValid_ = false;
    bool hasKind_ = false;
};

}  // namespace

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

bool ParseLine(std::string_view line, Event* event) {
    ClearFields(event);
    EventMembers members(event);
    if (!ReadJsonObject(line, members) || !members.Complete()) {
        return false;
    }
    return true;
}

}  // namespace journal
