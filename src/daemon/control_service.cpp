#include "daemon/control_service.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "daemon/event_log.h"
#include "daemon/platform_config.h"
#include "journal/time_format.h"
#include "log/log.h"
#include "platform/control_channel.h"
#include "platform/file_read.h"
#include "platform/files.h"
#include "platform/system.h"
#include "supervision/control_protocol.h"
#include "supervision/log_sanitize.h"
#include "supervision/utf8_text.h"

namespace {

// How long one wait of the thread lasts: how late a pause may end.
constexpr unsigned kServeWaitMs = 1000;
constexpr unsigned kStopPollMs = 5;
constexpr std::size_t kStateFileBytes = 1024 * 1024;

struct ControlledApp {
    int index;
    std::string name;  // UTF-8, as requests name it
    WatchdogOrders* orders;
};

std::string LocalText(int64_t ms) {
    journal::Time time;
    time.ms = ms;
    const int64_t seconds = ms / 1000;
    std::tm local{};
    if (platform::LocalTime(seconds, &local)) {
        time.offsetMinutes = journal::UtcOffsetMinutes(seconds, local);
    }
    return journal::FormatRfc3339(time);
}

std::string ReadSmallFile(const std::string& path) {
    std::string text;
    std::FILE* file = platform::OpenFileForReading(path.c_str());
    if (file == nullptr) {
        return text;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < kStateFileBytes) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

ControlCaller CallerOf(const platform::CallerIdentity& identity) {
    ControlCaller caller;
    caller.known = identity.known;
    caller.user = identity.user;
    caller.isSystem = identity.isSystem;
    caller.inGroup = identity.inGroup;
    caller.isServerUser = identity.isServerUser;
    return caller;
}

}  // namespace

struct ControlService::State {
    std::string channel;
    bool consoleMode;
    ControlSettings settings;
    std::string stateFile;
    EventHub& events;
    std::vector<ControlledApp> apps;
    PauseBook pauses;
    platform::ControlStop stop;
    platform::ControlServer server;
    bool serving = false;
    Reloader reloader;
    bool started = false;  // AddApp after Start comes of a reload

    const ControlledApp* Find(const std::string& name) const {
        for (const ControlledApp& app : apps) {
            if (app.name == name) {
                return &app;
            }
        }
        return nullptr;
    }

    void Save() {
        const std::string temporary = stateFile + ".new";
        platform::RemoveFile(temporary);
        int32_t error = 0;
        const std::string text = pauses.FileText();
        if (text.empty()) {
            platform::RemoveFile(stateFile);
            return;
        }
        if (platform::WriteNewFile(temporary, text, &error) != platform::NewFileResult::kWritten ||
            !platform::RenameOver(temporary, stateFile, &error)) {
            ProcessOutput().Log(
                kWarning, __LINE__, "ControlService::Save", error,
                "control: the pauses were not kept in " + stateFile + "; they end with the daemon");
        }
    }

    // The hub's event and the log line of one request (or a pause's end).
    void Record(const daemon_event::Control& record) {
        events.Report(record);
        std::string line = "control: " + std::string(record.action);
        if (!record.app.empty()) {
            line += " " + std::string(record.app);
        }
        if (!record.by.empty()) {
            line += " by " + std::string(record.by);
        }
        line += record.granted ? ": " : ": refused: ";
        line += std::string(record.answer);
        if (!record.reason.empty()) {
            line += " (" + std::string(record.reason) + ")";
        }
        ProcessOutput().Log(record.granted ? kMonitor : kWarning, __LINE__,
                            "ControlService::Record", 0, SanitizeForLog(line));
    }

    ControlAnswer Act(const ControlRequest& request, const std::string& by, int64_t nowMs);
    std::string Answer(const platform::ControlEvent& event);
    void EndPauses(int64_t nowMs);
    void Serve();
};

ControlAnswer ControlService::State::Act(const ControlRequest& request, const std::string& by,
                                         int64_t nowMs) {
    ControlAnswer answer;
    answer.app = request.app;
    const ControlledApp* app = request.app.empty() ? nullptr : Find(request.app);
    const auto refuse = [&](const char* code, std::string message) {
        answer.ok = false;
        answer.error = code;
        answer.message = std::move(message);
        return answer;
    };
    if (request.op == ControlOp::kReload) {
        if (!reloader) {
            return refuse("not_available", "reload is not served by this daemon: restart it");
        }
        return reloader(request.dryRun);
    }
    if (request.op != ControlOp::kStatus && app == nullptr) {
        return refuse("unknown_app", "no application named \"" + request.app + "\" in config.xml");
    }
    answer.ok = true;
    switch (request.op) {
        case ControlOp::kStatus:
            answer.message = std::to_string(pauses.Entries().size()) + " applications paused";
            answer.pauses = pauses.Entries();
            break;
        case ControlOp::kPause: {
            const int64_t seconds = PauseSeconds(request.seconds, settings);
            if (seconds < 0) {
                return refuse("too_long_pause", "a pause may last " +
                                                    std::to_string(settings.maxPauseHours) +
                                                    " hours at most (maxPauseHours)");
            }
            answer.untilMs = nowMs + seconds * 1000;
            pauses.Put({request.app, by, request.reason, nowMs, answer.untilMs});
            app->orders->paused.store(true);
            Save();
            answer.message = request.app + " paused until " + LocalText(answer.untilMs);
            break;
        }
        case ControlOp::kResume:
            if (!pauses.Remove(request.app)) {
                return refuse("not_paused", request.app + " is not paused");
            }
            app->orders->paused.store(false);
            Save();
            answer.message = request.app + " resumed: supervised again, its counts from zero";
            break;
        case ControlOp::kRestart:
            app->orders->restarts.fetch_add(1);
            answer.message =
                request.app + " is terminated and launched at its watchdog's next pass";
            break;
        case ControlOp::kReload:
            break;
    }
    return answer;
}

std::string ControlService::State::Answer(const platform::ControlEvent& event) {
    const ControlCaller caller = CallerOf(event.caller);
    const std::string by = caller.user.empty() ? "unknown" : caller.user;
    const ControlVerdict verdict = AuthorizeControl(
        caller, consoleMode,
        ControlNeeded(settings, PlatformFacts().pathSeparator == '\\', consoleMode));
    ParsedRequest parsed;
    if (event.kind == platform::ControlEventKind::kTooLong) {
        parsed.fault = RequestFault::kTooLong;
        parsed.message = "the request is longer than 64 KiB";
    } else {
        parsed = ParseControlRequest(event.line);
    }
    ControlAnswer answer;
    if (!verdict.granted) {
        answer.error = "denied";
        answer.message = verdict.message;
    } else if (parsed.fault != RequestFault::kNone) {
        answer.error = RequestFaultCode(parsed.fault);
        answer.message = parsed.message;
    } else {
        answer = Act(parsed.request, by, platform::CurrentTimeMs());
    }
    const std::string until = answer.untilMs != 0 ? LocalText(answer.untilMs) : std::string();
    daemon_event::Control record;
    record.by = by;
    // A dry run changes nothing: its own action, so that no record reads as a change.
    const bool dryRun = parsed.request.op == ControlOp::kReload && parsed.request.dryRun;
    record.action = parsed.fault != RequestFault::kNone ? "invalid"
                    : dryRun                            ? "reload_dry_run"
                                                        : ControlOpName(parsed.request.op);
    const ControlledApp* app = Find(parsed.request.app);
    record.index = app != nullptr ? app->index : -1;
    record.app = parsed.request.app;
    record.reason = parsed.request.reason;
    record.untilMs = answer.untilMs;
    record.untilText = until;
    record.granted = answer.ok;
    record.error = answer.error;
    record.answer = answer.message;
    Record(record);
    return FormatControlAnswer(answer);
}

void ControlService::State::EndPauses(int64_t nowMs) {
    const std::vector<PauseEntry> ended = pauses.TakeExpired(nowMs);
    for (const PauseEntry& pause : ended) {
        const ControlledApp* app = Find(pause.app);
        if (app != nullptr) {
            app->orders->paused.store(false);
        }
        daemon_event::Control record;
        record.action = "pause_ended";
        record.index = app != nullptr ? app->index : -1;
        record.app = pause.app;
        record.reason = pause.reason;
        record.granted = true;
        const std::string answer = "the pause by " + pause.by + " has reached its end";
        record.answer = answer;
        Record(record);
    }
    if (!ended.empty()) {
        Save();
    }
}

void ControlService::State::Serve() {
    for (;;) {
        EndPauses(platform::CurrentTimeMs());
        if (!serving) {
            if (stop.IsRaised()) {
                return;
            }
            platform::SleepMs(kStopPollMs * 20);
            continue;
        }
        const platform::ControlEvent event = server.Next(stop, kServeWaitMs);
        switch (event.kind) {
            case platform::ControlEventKind::kRequest:
            case platform::ControlEventKind::kTooLong:
                server.Answer(event.client, Answer(event));
                break;
            case platform::ControlEventKind::kStopped:
                server.Close();
                return;
            case platform::ControlEventKind::kFailed:
                ProcessOutput().Log(kWarning, __LINE__, "ControlService::Serve", event.error,
                                    "control channel failed: " + event.text);
                server.Close();
                serving = false;
                break;
            case platform::ControlEventKind::kDropped:
            case platform::ControlEventKind::kIdle:
                break;
        }
    }
}

ControlService::ControlService(std::string channel, bool consoleMode, ControlSettings settings,
                               std::string stateFile, EventHub& events)
    : state_(new State{std::move(channel),
                       consoleMode,
                       std::move(settings),
                       std::move(stateFile),
                       events,
                       {},
                       {},
                       {},
                       {},
                       false,
                       nullptr,
                       false}) {
    state_->pauses =
        PauseBook::FromFileText(ReadSmallFile(state_->stateFile), platform::CurrentTimeMs());
}

ControlService::~ControlService() {
    Stop();
}

void ControlService::AddApp(int index, const std::string& name, WatchdogOrders& orders) {
    ControlledApp app{index, AnsiToUtf8(name), &orders};
    if (const PauseEntry* kept = state_->pauses.Find(app.name)) {
        orders.paused.store(true);
        daemon_event::Control record;
        record.by = kept->by;
        record.action = "pause_kept";
        record.index = index;
        record.app = kept->app;
        record.reason = kept->reason;
        record.untilMs = kept->untilMs;
        const std::string until = LocalText(kept->untilMs);
        record.untilText = until;
        record.granted = true;
        const std::string answer =
            "paused until " + until +
            (state_->started ? ", kept across the reload" : ", kept across the restart");
        record.answer = answer;
        state_->Record(record);
    }
    state_->apps.push_back(std::move(app));
}

void ControlService::SetReloader(Reloader reloader) {
    state_->reloader = std::move(reloader);
}

void ControlService::RemoveApp(int index) {
    std::vector<ControlledApp>& apps = state_->apps;
    for (auto it = apps.begin(); it != apps.end(); ++it) {
        if (it->index == index) {
            apps.erase(it);
            return;
        }
    }
}

void ControlService::SetSettings(const ControlSettings& settings) {
    state_->settings = settings;
}

std::vector<PauseEntry> ControlService::Pauses() const {
    return state_->pauses.Entries();
}

int ControlService::IndexOf(const std::string& app) const {
    const ControlledApp* found = state_->Find(app);
    return found != nullptr ? found->index : -1;
}

bool ControlService::Start() {
    state_->started = true;
    platform::ControlAccess access;
    access.group = state_->settings.group;
    access.serverUser = state_->consoleMode;
    const platform::ControlOpenResult opened = state_->server.Open(state_->channel, access);
    state_->serving = opened.status == platform::ControlOpenStatus::kOpen;
    if (!state_->serving) {
        ProcessOutput().Log(kWarning, __LINE__, "ControlService::Start", opened.error,
                            "control channel not served: " + opened.text);
    }
    running_.store(true);
    thread_ = platform::StartThread(&Run, this);
    if (thread_ == nullptr) {
        running_.store(false);
        state_->server.Close();
        ProcessOutput().Log(kWarning, __LINE__, "ControlService::Start", 0,
                            "control channel not served: its thread could not start");
        return false;
    }
    return true;
}

unsigned ControlService::Run(void* service) {
    ControlService* self = static_cast<ControlService*>(service);
    self->state_->Serve();
    self->running_.store(false);
    return 0;
}

void ControlService::Stop() {
    if (thread_ == nullptr) {
        return;
    }
    state_->stop.Raise();
    while (running_.load()) {
        platform::SleepMs(kStopPollMs);
    }
    platform::CloseThreadHandle(thread_);
    thread_ = nullptr;
}
