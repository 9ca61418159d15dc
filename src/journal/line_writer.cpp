#include "journal/line.h"

#include "field_table.h"
#include "nlohmann/json.hpp"

namespace journal {

namespace {

using Json = nlohmann::ordered_json;

// Sets the field in `line` when `event` has it to write.
void WriteField(const Field& field, const Event& event, Json* line) {
    const std::string name(field.name);
    switch (field.type) {
        case FieldType::kText:
            if (!field.textOnlyWhenSet || !(event.*field.text).empty()) {
                (*line)[name] = event.*field.text;
            }
            break;
        case FieldType::kSerial:
            (*line)[name] = event.serial;
            break;
        case FieldType::kNumber:
            if (event.*field.number != kNoNumber) {
                (*line)[name] = event.*field.number;
            }
            break;
        case FieldType::kFlag:
            if (event.*field.flag != kNoFlag) {
                (*line)[name] = event.*field.flag != 0;
            }
            break;
        case FieldType::kIndex:
            if (event.index >= 0) {
                (*line)[name] = event.index;
            }
            break;
        case FieldType::kFindings:
            (*line)[name] = event.findings;
            break;
        case FieldType::kTime:
            (*line)[name] = FormatRfc3339(event.time);
            break;
        case FieldType::kEvent:
            (*line)[name] = KindName(event.kind);
            break;
    }
}

}  // namespace

std::string FormatLine(const Event& event) {
    if (event.kind == EventKind::kUnknown) {
        return std::string();
    }
    Json line;
    for (const Field* const* field = FieldsOf(event.kind); *field != nullptr; ++field) {
        WriteField(**field, event, &line);
    }
    // Bytes that are not UTF-8 (a train key is the application's) become
    // U+FFFD rather than failing the line.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool MentionsDaemonStart(std::string_view text) {
    return text.find("\"event\":\"daemon_started\"") != std::string_view::npos;
}

}  // namespace journal
