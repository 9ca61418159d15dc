#include <string_view>

#include "field_table.h"
#include "journal/line.h"
#include "json_reader.h"

namespace journal {

namespace {

// The largest application index taken as one; anything else reads as absent.
constexpr int64_t kMaxIndex = 1 << 20;

class EventMembers : public JsonMembers {
  public:
    explicit EventMembers(Event* event) : event_(event) {}

    void Member(std::string_view name, const JsonValue& value) override {
        using Type = JsonValue::Type;
        const Field* field = FieldNamed(name);
        if (field == nullptr) {
            return;  // a field this reader does not know
        }
        const bool text = value.type == Type::kString;
        const bool integer = value.type == Type::kNumber && value.integral;
        switch (field->type) {
            case FieldType::kTime:
                timeValid_ = text && ParseRfc3339(value.string, &event_->time);
                break;
            case FieldType::kEvent:
                hasKind_ = text && !value.string.empty();
                event_->kindName.assign(hasKind_ ? value.string : std::string_view());
                break;
            case FieldType::kIndex:
                event_->index = integer && value.integer >= 0 && value.integer <= kMaxIndex
                                    ? static_cast<int>(value.integer)
                                    : -1;
                break;
            case FieldType::kFlag:
                event_->*field->flag =
                    value.type == Type::kBool ? (value.boolean ? 1 : 0) : kNoFlag;
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
                (event_->*field->text).assign(text ? value.string : std::string_view());
                break;
            case FieldType::kNumber:
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

bool ParseLine(std::string_view line, Event* event) {
    // Cleared field by field, so that a reused Event keeps its strings' room.
    event->kind = EventKind::kUnknown;
    event->index = -1;
    event->findings.clear();
    event->kindName.clear();
    event->serial.clear();
    std::size_t count = 0;
    const Field* fields = AllFields(&count);
    for (std::size_t i = 0; i < count; ++i) {
        const Field& field = fields[i];
        if (field.text != nullptr) {
            (event->*field.text).clear();
        } else if (field.number != nullptr) {
            event->*field.number = kNoNumber;
        } else if (field.flag != nullptr) {
            event->*field.flag = kNoFlag;
        }
    }
    EventMembers members(event);
    if (!ReadJsonObject(line, members) || !members.Complete()) {
        return false;
    }
    event->kind = KindByName(event->kindName);
    return true;
}

}  // namespace journal
