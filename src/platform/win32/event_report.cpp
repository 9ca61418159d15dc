// Administrator events to the Windows Event Log, under the source
// "ZELK_Daemon" that the installer registers in the Application log with
// ZELK_Daemon_messages.dll as its message file.
#include "platform/event_report.h"

#include <windows.h>

#include <mutex>

namespace platform {

namespace {

constexpr const char* kEventSource = "ZELK_Daemon";

std::mutex g_sourceLock;
// Registered on the first report and kept for the life of the process; null
// until a registration succeeds, so a failed one is tried again next time.
HANDLE g_source = nullptr;

WORD EventLogType(EventType type) {
    switch (type) {
        case EventType::kError:
            return EVENTLOG_ERROR_TYPE;
        case EventType::kWarning:
            return EVENTLOG_WARNING_TYPE;
        case EventType::kInformation:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

// `text` with every "\n" that has no "\r" before it written as "\r\n", the
// line end the Event Viewer shows.
std::string WindowsLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

}  // namespace

bool ReportAdministratorEvent(EventType type, uint32_t id, const std::vector<std::string>& inserts,
                              const std::string& /*line*/) {
    std::vector<std::string> strings;
    strings.reserve(inserts.size());
    for (const std::string& insert : inserts) {
        strings.push_back(WindowsLineEnds(insert));
    }
    std::vector<LPCSTR> pointers;
    for (const std::string& text : strings) {
        pointers.push_back(text.c_str());
    }
    std::lock_guard<std::mutex> hold(g_sourceLock);
    if (g_source == nullptr) {
        g_source = RegisterEventSourceA(nullptr, kEventSource);
        if (g_source == nullptr) {
            return false;
        }
    }
    return ReportEventA(g_source, EventLogType(type), 0, static_cast<DWORD>(id), nullptr,
                        static_cast<WORD>(pointers.size()), 0,
                        pointers.empty() ? nullptr : pointers.data(), nullptr) != FALSE;
}

}  // namespace platform
