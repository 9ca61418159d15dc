#include "daemon/admin_event_output.h"

#include "platform/event_report.h"
#include "platform/system.h"

namespace {

platform::EventType PlatformType(AdminLevel level) {
    switch (level) {
        case AdminLevel::kError:
            return platform::EventType::kError;
        case AdminLevel::kWarning:
            return platform::EventType::kWarning;
        case AdminLevel::kInformation:
            break;
    }
    return platform::EventType::kInformation;
}

class PlatformSink final : public AdminEventSink {
  public:
    void Write(const AdminEntry& entry) override {
        platform::ReportAdministratorEvent(PlatformType(entry.kind->level), entry.kind->id,
                                           entry.inserts, AdminEventLine(entry));
    }
};

}  // namespace

AdminEventReporter& ProcessAdminEvents() {
    // Never destroyed: watchdog threads may still report while the process
    // ends.
    static AdminEventReporter* const reporter = new AdminEventReporter(platform::MonotonicMs);
    return *reporter;
}

AdminEventSink& PlatformAdminEventSink() {
    static PlatformSink sink;
    return sink;
}

std::string AdminEventLine(const AdminEntry& entry) {
    std::vector<std::string> inserts = entry.inserts;
    for (std::string& insert : inserts) {
        std::string flat;
        for (char c : insert) {
            flat += c == '\n' ? std::string("; ") : std::string(1, c);
        }
        insert = flat;
    }
    return "event " + std::to_string(entry.kind->id) + ": " +
           FormatAdminEventText(*entry.kind, inserts);
}
