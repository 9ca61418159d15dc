// What config.xml turns on beside the applications, and the reload of the
// file while the daemon runs.
#include <mutex>
#include <utility>

#include "daemon/control_service.h"
#include "daemon/daemon.h"
#include "daemon/journal_writer.h"
#include "daemon/option_consumers.h"
#include "daemon/platform_config.h"
#include "daemon/status_writer.h"
#include "daemon/watchdog_thread.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "supervision/status_board.h"

namespace {

constexpr unsigned kEndPollMs = 1;

}  // namespace

void OptionConsumers::SetStatus(StatusBoard* board) {
    std::unique_lock<std::shared_mutex> hold(mutex_);
    board_ = board;
}

void OptionConsumers::SetJournal(EventConsumer* journal) {
    std::unique_lock<std::shared_mutex> hold(mutex_);
    journal_ = journal;
}

void OptionConsumers::OnAppEvent(const AppIdentity& app, const WatchdogEvent& event,
                                 int64_t timeMs) {
    std::shared_lock<std::shared_mutex> hold(mutex_);
    if (board_ != nullptr) {
        board_->Apply(app.index, event);
    }
    if (journal_ != nullptr) {
        journal_->OnAppEvent(app, event, timeMs);
    }
}

void OptionConsumers::OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) {
    std::shared_lock<std::shared_mutex> hold(mutex_);
    if (board_ != nullptr) {
        if (const auto* pitfalls = std::get_if<daemon_event::ConfigPitfalls>(&event)) {
            board_->SetConfig(true, pitfalls->Count());
        } else if (const auto* control = std::get_if<daemon_event::Control>(&event)) {
            board_->ApplyControl(*control);
        }
    }
    if (journal_ != nullptr) {
        journal_->OnDaemonEvent(event, timeMs);
    }
}

void CDaemon::StartOptions(CXmlDocument& document) {
    const std::string configFolder = platform::FolderOf(configPath);
    options = ConfigOptionsOf(document, configFolder, PlatformFacts());
    optionConsumers = std::make_unique<OptionConsumers>();
    events->AddConsumer(optionConsumers.get());
    // The writer makes a missing folder first, so the check finds it.
    StartStatus(options.statusFolder);
    if (!controlChannel.empty()) {
        control = std::make_unique<ControlService>(controlChannel, controlConsole, options.control,
                                                   configFolder + "control.state", *events);
        control->SetReloader([this](bool dryRun) { return Reload(dryRun); });
    }
    evidence = options.evidence;
    StartJournal(options.journal);
}

void CDaemon::StartStatus(const std::string& folder) {
    if (folder.empty()) {
        return;
    }
    auto started = std::make_unique<StatusService>(folder, platform::CurrentTime());
    started->Board().SetConfig(true, 0);
    if (started->Start()) {
        status = std::move(started);
        optionConsumers->SetStatus(&status->Board());
    }
}

void CDaemon::StartJournal(const JournalSettings& settings) {
    if (settings.folder.empty()) {
        return;
    }
    auto started = std::make_unique<JournalService>(settings);
    if (started->Start()) {
        journal = std::move(started);
        optionConsumers->SetJournal(journal.get());
    }
}

ControlAnswer CDaemon::Reload(bool dryRun) {
    std::vector<AppConfig> current;
    std::vector<int> slotOf;
    for (std::size_t i = 0; i < watched.size(); ++i) {
        if (watched[i]) {
            current.push_back(*watched[i]);
            slotOf.push_back(static_cast<int>(i));
        }
    }
    PlatformConfigProbe probe;
    const ReloadPlan plan =
        PlanReload(configPath, platform::FolderOf(configPath), current, options, probe);
    if (!plan.refused && !dryRun) {
        ApplyReload(plan, slotOf);
    }
    return ReloadAnswerOf(plan, dryRun);
}

void CDaemon::ApplyReload(const ReloadPlan& plan, const std::vector<int>& slotOf) {
    // Every watchdog that goes is told at once, so that they end together.
    std::vector<int> ending;
    for (const AppDifference& difference : plan.differences) {
        if (difference.change == AppChange::kRemoved || difference.change == AppChange::kChanged) {
            const int slot = slotOf[static_cast<std::size_t>(difference.oldIndex)];
            (*slots)[static_cast<std::size_t>(slot)].watching.store(false);
            ending.push_back(slot);
        }
    }
    // As the stop waits: a watchdog ends at the start of its next pass.
    for (int slot : ending) {
        const std::size_t at = static_cast<std::size_t>(slot);
        while (!(*slots)[at].ended.load()) {
            platform::SleepMs(kEndPollMs);
        }
        if (threads[at] != nullptr) {
            platform::CloseThreadHandle(threads[at]);
            threads[at] = nullptr;
        }
        watched[at].reset();
        if (control) {
            control->RemoveApp(slot);
        }
        if (status) {
            status->Board().Remove(slot);
        }
    }
    ApplyOptions(plan.options);
    for (const AppDifference& difference : plan.differences) {
        int slot = -1;
        if (difference.change == AppChange::kChanged) {
            slot = slotOf[static_cast<std::size_t>(difference.oldIndex)];
        } else if (difference.change == AppChange::kAdded) {
            // The walk takes at most kMaxApplications, so a slot is free.
            while (watched[static_cast<std::size_t>(++slot)]) {
            }
        } else {
            continue;
        }
        StartApplication(slot, std::make_unique<AppConfig>(
                                   plan.apps[static_cast<std::size_t>(difference.newIndex)]));
        platform::SleepMs(timings.threadStartPauseMs);
    }
}

void CDaemon::ApplyOptions(const ConfigOptions& next) {
    if (control) {
        control->SetSettings(next.control);
    }
    // Taken by the watchdogs started from now on; the others keep theirs.
    evidence = next.evidence;
    if (next.statusFolder != options.statusFolder) {
        optionConsumers->SetStatus(nullptr);
        if (status) {
            status->Stop();  // its last snapshot says the daemon no longer writes there
            status.reset();
        }
        StartStatus(next.statusFolder);
        if (status) {
            for (std::size_t i = 0; i < watched.size(); ++i) {
                if (watched[i]) {
                    status->Board().Add(*watched[i], static_cast<int>(i));
                }
            }
            if (control) {
                for (const PauseEntry& pause : control->Pauses()) {
                    const int index = control->IndexOf(pause.app);
                    if (index >= 0) {
                        daemon_event::Control kept;
                        kept.action = "pause_kept";
                        kept.granted = true;
                        kept.index = index;
                        kept.by = pause.by;
                        kept.reason = pause.reason;
                        kept.untilMs = pause.untilMs;
                        status->Board().ApplyControl(kept);
                    }
                }
            }
        }
    }
    if (next.journal.folder != options.journal.folder ||
        next.journal.days != options.journal.days) {
        optionConsumers->SetJournal(nullptr);
        if (journal) {
            journal->Stop();  // what is queued is written first
            journal.reset();
        }
        StartJournal(next.journal);
    }
    options = next;
}
