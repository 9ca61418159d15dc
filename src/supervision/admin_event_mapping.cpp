#include "supervision/admin_event_mapping.h"

#include <utility>
#include <vector>

#include "supervision/watchdog_state.h"

namespace {

// What decided a termination, in the words of event 3001 ("... after %2.").
std::string CycleReason(Cycle cycle) {
    const int32_t count = CycleCount(cycle, CycleAction::kTerminate);
    switch (cycle) {
        case Cycle::kConnecting:
            return std::to_string(count) + " waits without a connection";
        case Cycle::kSilent:
            return std::to_string(count) + " silent waits";
        case Cycle::kFailing:
            return std::to_string(count) + " failed reads in a row";
        default:
            return "a watchdog cycle";
    }
}

}  // namespace

AdminEventMapping::AdminEventMapping(AdminEventReporter& reporter, ErrorText errorText)
    : reporter_(reporter), errorText_(errorText) {}

void AdminEventMapping::OnAppEvent(const AppIdentity& app, const WatchdogEvent& e, int64_t) {
    const std::string& name = app.name;
    AdminEventId id = AdminEventId::kAppNotWatched;
    std::vector<std::string> inserts;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        AppState& state = apps_[static_cast<std::size_t>(app.index)];
        switch (e.kind) {
            case WatchdogEventKind::kThreadNotStarted:
            case WatchdogEventKind::kBuffersMissing:
                id = AdminEventId::kAppNotWatched;
                inserts = {name, app.endpoint};
                break;
            case WatchdogEventKind::kConnected:
                if (!state.down) {
                    return;
                }
                state.down = false;
                id = AdminEventId::kAppConnected;
                inserts = {name, app.endpoint};
                break;
            case WatchdogEventKind::kTerminate:
                // The cycle's words come with the termination that follows;
                // a silent or failing application also says why.
                state.down = true;
                if (e.cycle == Cycle::kSilent) {
                    id = AdminEventId::kAppSilent;
                    inserts = {name, app.endpoint, std::to_string(e.count)};
                } else if (e.cycle == Cycle::kFailing) {
                    id = AdminEventId::kAppReadsFailing;
                    inserts = {name, app.endpoint, std::to_string(e.count)};
                } else {
                    return;
                }
                break;
            case WatchdogEventKind::kTerminated:
                id = AdminEventId::kAppTerminated;
                inserts = {name, CycleReason(e.cycle), std::to_string(e.count)};
                break;
            case WatchdogEventKind::kLaunched: {
                const bool userFound = e.count != 0;
                const bool hadNoUser = state.noUser;
                state.noUser = !userFound;
                if (!userFound) {
                    if (hadNoUser) {
                        return;  // told at the first of the streak
                    }
                    id = AdminEventId::kNoInteractiveUser;
                    inserts = {name};
                } else if (hadNoUser) {
                    // The user is back: said, and the launch's own event follows.
                    reporter_.Report(AdminEventId::kUserLoggedOn, app.index, {name});
                }
                if (userFound && e.ok) {
                    id = AdminEventId::kAppLaunched;
                    inserts = {name, std::string(e.text), std::to_string(e.second)};
                } else if (userFound) {
                    id = AdminEventId::kLaunchFailed;
                    inserts = {name, std::string(e.text), std::to_string(e.code),
                               errorText_(e.code)};
                }
                break;
            }
            case WatchdogEventKind::kMismatch:
                id = AdminEventId::kResultMismatch;
                inserts = {name, std::string(e.text), std::to_string(e.count),
                           std::to_string(e.second)};
                break;
            case WatchdogEventKind::kUninstall:
            case WatchdogEventKind::kInstall:
                id = e.kind == WatchdogEventKind::kUninstall ? AdminEventId::kUninstallRun
                                                             : AdminEventId::kInstallRun;
                inserts = {name, app.subApp, std::string(e.text)};
                break;
            default:
                // Every pass reports something: the held-back summaries of
                // a storm that has ended go out here.
                reporter_.ReportHeldBack();
                return;
        }
    }
    reporter_.Report(id, app.index, std::move(inserts));
}

void AdminEventMapping::OnDaemonEvent(const DaemonEvent& event, int64_t) {
    switch (event.kind) {
        case DaemonEventKind::kStarted:
            reporter_.Report(AdminEventId::kServiceStarted, -1,
                             {std::string(event.text), std::to_string(event.count)});
            break;
        case DaemonEventKind::kStopping:
            reporter_.FlushHeldBack();
            reporter_.Report(AdminEventId::kServiceStopping, -1, {});
            break;
        case DaemonEventKind::kStopped:
            reporter_.FlushHeldBack();
            reporter_.Report(AdminEventId::kServiceStopped, -1, {});
            break;
        case DaemonEventKind::kConfigNotLoaded:
            reporter_.Report(AdminEventId::kConfigNotLoaded, -1,
                             {std::string(event.text), std::string(event.detail)});
            break;
        case DaemonEventKind::kConfigPitfalls: {
            std::string findings;
            if (event.findings != nullptr) {
                for (const std::string& finding : *event.findings) {
                    findings += (findings.empty() ? "" : "\n") + finding;
                }
            }
            reporter_.Report(AdminEventId::kConfigPitfalls, -1,
                             {std::to_string(event.count), findings});
            break;
        }
        case DaemonEventKind::kConfigLoaded:
            break;
    }
}
