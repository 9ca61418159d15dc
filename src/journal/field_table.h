// The fields of the journal's lines and where an Event keeps them: the one
// table the writer and the reader both go by.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "journal/event.h"

namespace journal {

enum class FieldType : uint8_t {
    kTime,      // "time": RFC 3339, required
    kEvent,     // "event": the kind's name, required
    kIndex,     // "index": the application's place, 0 or more
    kFlag,      // true or false, kept in Field::flag
    kSerial,    // "serial": a text (or, read, a number kept as text)
    kFindings,  // "findings": an array of texts
    kText,      // a text kept in Field::text
    kNumber,    // an integer kept in Field::number
};

struct Field {
    std::string_view name;
    FieldType type;
    std::string Event::*text;
    int64_t Event::*number;
    int Event::*flag;
    // A text written only when it is not empty; every other text of a
    // kind is written even when empty.
    bool textOnlyWhenSet;
};

// The field named `name`, or nullptr for a name no line of this journal
// holds.
const Field* FieldNamed(std::string_view name);

// The fields a line of `kind` holds, in the order they are written: time
// and event, then for an application's kinds app, index and endpoint, then
// the kind's own. Ends with nullptr; for kUnknown after time and event.
const Field* const* FieldsOf(EventKind kind);

// Every field of `*event` absent, its kind unknown; its texts keep their
// room.
void ClearFields(Event* event);

}  // namespace journal
