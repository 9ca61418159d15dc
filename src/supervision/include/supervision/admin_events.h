// The administrator events as C++ sees them: their IDs, levels and insert
// counts, made from the rows of admin_event_table.h, and the text of an event
// with its inserts, as the Windows message file gives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "supervision/admin_event_table.h"

enum class AdminLevel : uint8_t { kError, kWarning, kInformation };

enum class AdminEventId : uint32_t {
#define ZELK_ADMIN_EVENT_ID(id, level, name, inserts, text) k##name = id,
    ZELK_ADMIN_EVENTS(ZELK_ADMIN_EVENT_ID)
#undef ZELK_ADMIN_EVENT_ID
};

// One row of the table.
struct AdminEventKind {
    uint32_t id;
    AdminLevel level;
    const char* name;         // the symbolic name, without the k
    int insertCount;          // the number of %N in the text
    const char* insertNames;  // comma-separated, "" for none
    const char* text;         // with %1 .. %insertCount
};

// Every row, in ID order.
const std::vector<AdminEventKind>& AdminEventKinds();

// The row of `id`; null for an ID the table does not have.
const AdminEventKind* FindAdminEventKind(uint32_t id);

// The kind's text with %N replaced by inserts[N-1] (an insert that is
// missing counts as empty), exactly as FormatMessage gives it from the
// message file, without the line end the message file adds.
std::string FormatAdminEventText(const AdminEventKind& kind,
                                 const std::vector<std::string>& inserts);

// "error", "warning" or "information".
const char* AdminLevelName(AdminLevel level);
