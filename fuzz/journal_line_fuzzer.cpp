// Any bytes as one line of the event journal. The JSON reader and the JSON
// library the daemon writes with agree on which texts are one object (the
// reader refusing nesting deeper than its limit) and on the members it
// holds. A line that reads as an event writes a line that reads back into
// the same event, fields, types and time alike, and that writes the same
// line again; only a daemon_started line is found as a start without
// reading it.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "field_table.h"
#include "fuzz_check.h"
#include "journal/line.h"
#include "json_reader.h"

namespace {

using journal::Event;
using journal::JsonValue;
using Json = nlohmann::ordered_json;

// Lines longer than this teach nothing more.
constexpr size_t kMaxLineBytes = 64 * 1024;

// One member as both readers can tell it: its name, and its value as text
// (a string's decoded bytes, an integer's digits) after a type letter.
using Member = std::pair<std::string, std::string>;

class Collect final : public journal::JsonMembers {
  public:
    void Member(std::string_view name, const JsonValue& value) override {
        std::string shown;
        switch (value.type) {
            case JsonValue::Type::kString:
                shown = "s" + std::string(value.string);
                break;
            case JsonValue::Type::kNumber:
                shown = value.integral ? "i" + std::to_string(value.integer) : "n";
                break;
            case JsonValue::Type::kArray:
                shown = "a";
                if (value.stringArray) {
                    for (const std::string& text : *value.strings) {
                        shown += std::to_string(text.size()) + ":" + text;
                    }
                } else {
                    shown += "*";
                }
                break;
            case JsonValue::Type::kBool:
                shown = value.boolean ? "t" : "f";
                break;
            case JsonValue::Type::kObject:
                shown = "o";
                break;
            case JsonValue::Type::kNull:
                shown = "z";
                break;
        }
        members.emplace_back(std::string(name), shown);
    }
    std::vector<::Member> members;
};

// The library's value told as Collect tells it.
std::string Shown(const Json& value) {
    if (value.is_string()) {
        return "s" + value.get<std::string>();
    }
    if (value.is_number_integer() &&
        !(value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX})) {
        return "i" + std::to_string(value.get<int64_t>());
    }
    if (value.is_number()) {
        return "n";
    }
    if (value.is_array()) {
        std::string shown = "a";
        for (const Json& element : value) {
            if (!element.is_string()) {
                return "a*";
            }
            const std::string text = element.get<std::string>();
            shown += std::to_string(text.size()) + ":" + text;
        }
        return shown;
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "t" : "f";
    }
    return value.is_object() ? "o" : "z";
}

// The deepest nesting of `value`, the value itself counting one when it is
// an object or an array. Without recursion: the library takes any depth.
int Depth(const Json& value) {
    int deepest = 0;
    std::vector<std::pair<const Json*, int>> pending{{&value, 1}};
    while (!pending.empty()) {
        const auto [json, depth] = pending.back();
        pending.pop_back();
        if (!json->is_structured()) {
            continue;
        }
        deepest = depth > deepest ? depth : deepest;
        for (const Json& inner : *json) {
            pending.emplace_back(&inner, depth + 1);
        }
    }
    return deepest;
}

void CheckAgainstLibrary(const std::string& text) {
    Collect ours;
    const bool read = journal::ReadJsonObject(text, ours);
    // The library takes a NUL byte for the end of its input; a NUL byte is
    // nowhere part of a JSON text.
    if (text.find('\0') != std::string::npos) {
        FUZZ_CHECK(!read);
        return;
    }
    const Json theirs = Json::parse(text, nullptr, false);
    const bool object = !theirs.is_discarded() && theirs.is_object();
    if (object && Depth(theirs) > journal::kMaxJsonDepth) {
        FUZZ_CHECK(!read);
        return;
    }
    FUZZ_CHECK(read == object);
    if (!read) {
        return;
    }
    // A name given twice keeps its first place and its last value there.
    std::vector<Member> expected;
    for (const auto& [name, value] : theirs.items()) {
        expected.emplace_back(name, Shown(value));
    }
    std::vector<Member> got;
    for (const Member& member : ours.members) {
        bool again = false;
        for (Member& earlier : got) {
            if (earlier.first == member.first) {
                earlier.second = member.second;
                again = true;
            }
        }
        if (!again) {
            got.push_back(member);
        }
    }
    FUZZ_CHECK(got == expected);
}

// True when `a` and `b` hold the same value in every field their kind
// writes.
bool SameFields(const Event& a, const Event& b) {
    using journal::FieldType;
    for (const journal::Field* const* f = journal::FieldsOf(a.kind); *f != nullptr; ++f) {
        const journal::Field& field = **f;
        bool same = true;
        switch (field.type) {
            case FieldType::kTime:
                same = a.time.ms == b.time.ms && a.time.offsetMinutes == b.time.offsetMinutes;
                break;
            case FieldType::kEvent:
                same = a.kind == b.kind && a.kindName == b.kindName;
                break;
            case FieldType::kIndex:
                same = a.index == b.index;
                break;
            case FieldType::kFlag:
                same = a.*field.flag == b.*field.flag;
                break;
            case FieldType::kSerial:
                same = a.serial == b.serial;
                break;
            case FieldType::kFindings:
                same = a.findings == b.findings;
                break;
            case FieldType::kText:
                same = a.*field.text == b.*field.text;
                break;
            case FieldType::kNumber:
                same = a.*field.number == b.*field.number;
                break;
        }
        if (!same) {
            return false;
        }
    }
    return true;
}

void CheckRoundTrip(const std::string& text) {
    Event event;
    if (!journal::ParseLine(text, &event)) {
        return;
    }
    FUZZ_CHECK(!journal::IsBlankLine(text));
    const std::string line = journal::FormatLine(event);
    if (event.kind == journal::EventKind::kUnknown) {
        FUZZ_CHECK(line.empty() && !event.kindName.empty());
        return;
    }
    FUZZ_CHECK(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1);
    FUZZ_CHECK(journal::MentionsDaemonStart(line) ==
               (event.kind == journal::EventKind::kDaemonStarted));
    Event again;
    FUZZ_CHECK(journal::ParseLine(std::string_view(line).substr(0, line.size() - 1), &again));
    FUZZ_CHECK(SameFields(event, again));
    FUZZ_CHECK(journal::FormatLine(again) == line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxLineBytes) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckAgainstLibrary(text);
    CheckRoundTrip(text);
    return 0;
}
