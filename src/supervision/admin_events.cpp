#include "supervision/admin_events.h"

#include <algorithm>

namespace {

// The number of names in a comma-separated list; 0 for "".
constexpr int CountNames(const char* names) {
    if (names[0] == '\0') {
        return 0;
    }
    int count = 1;
    for (const char* c = names; *c != '\0'; ++c) {
        count += *c == ',' ? 1 : 0;
    }
    return count;
}

}  // namespace

const std::vector<AdminEventKind>& AdminEventKinds() {
    static const std::vector<AdminEventKind> kinds = [] {
        std::vector<AdminEventKind> rows = {
#define ZELK_ADMIN_EVENT_ROW(id, level, name, inserts, text) \
    {id, AdminLevel::k##level, #name, CountNames(inserts), inserts, text},
            ZELK_ADMIN_EVENTS(ZELK_ADMIN_EVENT_ROW)
#undef ZELK_ADMIN_EVENT_ROW
        };
        std::sort(rows.begin(), rows.end(),
                  [](const AdminEventKind& a, const AdminEventKind& b) { return a.id < b.id; });
        return rows;
    }();
    return kinds;
}

const AdminEventKind* FindAdminEventKind(uint32_t id) {
    const std::vector<AdminEventKind>& kinds = AdminEventKinds();
    auto found =
        std::lower_bound(kinds.begin(), kinds.end(), id,
                         [](const AdminEventKind& kind, uint32_t key) { return kind.id < key; });
    return found != kinds.end() && found->id == id ? &*found : nullptr;
}

std::string FormatAdminEventText(const AdminEventKind& kind,
                                 const std::vector<std::string>& inserts) {
    std::string out;
    for (const char* c = kind.text; *c != '\0'; ++c) {
        if (c[0] == '%' && c[1] >= '1' && c[1] <= '9') {
            std::size_t index = static_cast<std::size_t>(c[1] - '1');
            if (index < inserts.size()) {
                out += inserts[index];
            }
            ++c;
        } else {
            out += *c;
        }
    }
    return out;
}

const char* AdminLevelName(AdminLevel level) {
    switch (level) {
        case AdminLevel::kError:
            return "error";
        case AdminLevel::kWarning:
            return "warning";
        case AdminLevel::kInformation:
            break;
    }
    return "information";
}
