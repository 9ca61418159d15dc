// Which of the supervisor's events an administrator hears of, and in which
// words: the events of the hub turned into administrator events
// (admin_event_table.h), handed to a reporter that keeps a storm from
// flooding the log. Transitions only, never one event per pass.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "supervision/admin_event_reporter.h"
#include "supervision/event_hub.h"

// The platform's text for an error code (FormatMessage, strerror).
using ErrorText = std::string (*)(int32_t code);

class AdminEventMapping final : public EventConsumer {
  public:
    AdminEventMapping(AdminEventReporter& reporter, ErrorText errorText);

    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t timeMs) override;
    void OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) override;

  private:
    class AppMapper;
    // The administrator event an application event makes, if any.
    using Notice = std::optional<std::pair<AdminEventId, std::vector<std::string>>>;

    // What an application's earlier events decide about its later ones.
    struct AppState {
        bool down = false;    // terminated, and not connected since
        bool noUser = false;  // its last launch found no user to launch for
    };

    // The administrator event of a control request, if it makes one.
    void ReportControl(const daemon_event::Control& control);

    AdminEventReporter& reporter_;
    ErrorText errorText_;
    std::mutex mutex_;  // every application's thread reports here
    std::array<AppState, kMaxApplications> apps_{};
};
