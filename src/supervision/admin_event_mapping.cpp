#include "supervision/admin_event_mapping.h"

#include <utility>
#include <vector>

#include "supervision/watchdog_state.h"

namespace {

namespace ev = watchdog_event;

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
        case Cycle::kNone:
            return "a restart an operator asked for";
        default:
            return "a watchdog cycle";
    }
}

}  // namespace

// What one application event makes the administrator hear, given what the
// application's earlier events decided; called under the mapping's lock.
class AdminEventMapping::AppMapper {
  public:
    AppMapper(AdminEventMapping& mapping, const AppIdentity& app, AppState& state)
        : mapping_(mapping), app_(app), state_(state) {}

    Notice operator()(const ev::ThreadNotStarted&) { return NotWatched(); }
    Notice operator()(const ev::BuffersMissing&) { return NotWatched(); }
    Notice operator()(const ev::Connected&) {
        if (!state_.down) {
            return std::nullopt;
        }
        state_.down = false;
        return Said(AdminEventId::kAppConnected, {app_.name, app_.endpoint});
    }
    Notice operator()(const ev::Terminate& e) {
        // The cycle's words come with the termination that follows; a silent
        // or failing application also says why.
        state_.down = true;
        if (e.cycle == Cycle::kSilent) {
            return Said(AdminEventId::kAppSilent,
                        {app_.name, app_.endpoint, std::to_string(e.count)});
        }
        if (e.cycle == Cycle::kFailing) {
            return Said(AdminEventId::kAppReadsFailing,
                        {app_.name, app_.endpoint, std::to_string(e.count)});
        }
        return std::nullopt;
    }
    Notice operator()(const ev::Terminated& e) {
        return Said(AdminEventId::kAppTerminated,
                    {app_.name, CycleReason(e.cycle), std::to_string(e.processes)});
    }
    Notice operator()(const ev::Launched& e) {
        const bool hadNoUser = state_.noUser;
        state_.noUser = !e.userFound;
        if (!e.userFound) {
            // Told at the first of the streak only.
            return hadNoUser ? std::nullopt : Said(AdminEventId::kNoInteractiveUser, {app_.name});
        }
        if (hadNoUser) {
            // The user is back: said, and the launch's own event follows.
            mapping_.reporter_.Report(AdminEventId::kUserLoggedOn, app_.index, {app_.name});
        }
        if (e.started) {
            return Said(AdminEventId::kAppLaunched,
                        {app_.name, std::string(e.command), std::to_string(e.session)});
        }
        return Said(AdminEventId::kLaunchFailed,
                    {app_.name, std::string(e.command), std::to_string(e.error),
                     mapping_.errorText_(e.error)});
    }
    // Every dump written is told; one not made only as a streak begins.
    Notice operator()(const ev::Evidence& e) {
        if (e.result == EvidenceResult::kWritten) {
            return Said(AdminEventId::kDumpWritten,
                        {app_.name, std::string(e.path), std::to_string(e.bytes)});
        }
        if (!e.streakStart) {
            return std::nullopt;
        }
        return Said(AdminEventId::kDumpNotMade, {app_.name, DumpReason(e)});
    }
    Notice operator()(const ev::Mismatch& e) {
        return Said(AdminEventId::kResultMismatch,
                    {app_.name, std::string(e.key), std::to_string(e.pictures),
                     std::to_string(e.xmlFiles)});
    }
    Notice operator()(const ev::Uninstall& e) {
        return Said(AdminEventId::kUninstallRun, {app_.name, app_.subApp, std::string(e.command)});
    }
    Notice operator()(const ev::Install& e) {
        return Said(AdminEventId::kInstallRun, {app_.name, app_.subApp, std::string(e.command)});
    }
    template <typename Other>
    Notice operator()(const Other&) {
        // Every pass reports something: the held-back summaries of a storm
        // that has ended go out here.
        mapping_.reporter_.ReportHeldBack();
        return std::nullopt;
    }

  private:
    static Notice Said(AdminEventId id, std::vector<std::string> inserts) {
        return std::make_pair(id, std::move(inserts));
    }
    std::string DumpReason(const ev::Evidence& e) const {
        switch (e.result) {
            case EvidenceResult::kTimedOut:
                return "abandoned after " + std::to_string(e.milliseconds) + " ms";
            case EvidenceResult::kFailed:
                return "error " + std::to_string(e.error) + ": " + mapping_.errorText_(e.error);
            case EvidenceResult::kNotAvailable:
                return "no dump writer on this system";
            case EvidenceResult::kNotKept:
            case EvidenceResult::kWritten:
                break;
        }
        return "it would not fit the evidence folder's bounds";
    }
    Notice NotWatched() const {
        return Said(AdminEventId::kAppNotWatched, {app_.name, app_.endpoint});
    }

    AdminEventMapping& mapping_;
    const AppIdentity& app_;
    AppState& state_;
};

AdminEventMapping::AdminEventMapping(AdminEventReporter& reporter, ErrorText errorText)
    : reporter_(reporter), errorText_(errorText) {}

void AdminEventMapping::OnAppEvent(const AppIdentity& app, const WatchdogEvent& e, int64_t) {
    Notice notice;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        AppState& state = apps_[static_cast<std::size_t>(app.index)];
        notice = std::visit(AppMapper(*this, app, state), e.what);
    }
    if (notice) {
        reporter_.Report(notice->first, app.index, std::move(notice->second));
    }
}

void AdminEventMapping::OnDaemonEvent(const DaemonEvent& event, int64_t) {
    namespace de = daemon_event;
    std::visit(
        Overloaded{
            [&](const de::Started& started) {
                reporter_.Report(AdminEventId::kServiceStarted, -1,
                                 {std::string(started.version), std::to_string(started.apps)});
            },
            [&](const de::Stopping&) {
                reporter_.FlushHeldBack();
                reporter_.Report(AdminEventId::kServiceStopping, -1, {});
            },
            [&](const de::Stopped&) {
                reporter_.FlushHeldBack();
                reporter_.Report(AdminEventId::kServiceStopped, -1, {});
            },
            [&](const de::ConfigNotLoaded& notLoaded) {
                reporter_.Report(AdminEventId::kConfigNotLoaded, -1,
                                 {std::string(notLoaded.path), std::string(notLoaded.report)});
            },
            [&](const de::ConfigPitfalls& pitfalls) {
                std::string findings;
                for (const std::string& finding : pitfalls.findings) {
                    findings += (findings.empty() ? "" : "\n") + finding;
                }
                reporter_.Report(AdminEventId::kConfigPitfalls, -1,
                                 {std::to_string(pitfalls.Count()), findings});
            },
            [](const de::ConfigLoaded&) {},
            [](const de::ClockJump&) {},
            [&](const de::Control& control) { ReportControl(control); },
        },
        event);
}

void AdminEventMapping::ReportControl(const daemon_event::Control& control) {
    const std::string app(control.app);
    const std::string by(control.by);
    const std::string reason(control.reason);
    if (!control.granted) {
        if (control.error == "denied") {
            reporter_.Report(AdminEventId::kControlRefused, -1,
                             {app, by, std::string(control.action), std::string(control.answer)});
        } else if (control.action == "reload") {
            reporter_.Report(AdminEventId::kConfigReloadRefused, -1,
                             {by, std::string(control.answer)});
        }
        return;
    }
    if (control.action == "pause") {
        reporter_.Report(AdminEventId::kAppPaused, control.index,
                         {app, by, std::string(control.untilText), reason});
    } else if (control.action == "resume") {
        reporter_.Report(AdminEventId::kAppResumed, control.index, {app, by});
    } else if (control.action == "pause_ended") {
        reporter_.Report(AdminEventId::kPauseEnded, control.index, {app, reason});
    } else if (control.action == "restart") {
        reporter_.Report(AdminEventId::kRestartRequested, control.index, {app, by, reason});
    } else if (control.action == "reload") {
        reporter_.Report(AdminEventId::kConfigReloaded, -1, {by, std::string(control.answer)});
    }
}
