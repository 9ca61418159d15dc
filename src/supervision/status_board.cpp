#include "supervision/status_board.h"

#include <chrono>

#include "supervision/status_state.h"
#include "supervision/utf8_text.h"
#include "zelk/version.h"

namespace {

// What makes a change worth writing at once: the state, a pending install,
// and every termination and launch.
struct Visible {
    journal::AppState state;
    bool installPending;
    uint64_t terminations;
    uint64_t launches;

    explicit Visible(const AppStatus& app)
        : state(StateOf(app)),
          installPending(app.installPending),
          terminations(app.terminations),
          launches(app.launches) {}
    bool operator==(const Visible& other) const {
        return state == other.state && installPending == other.installPending &&
               terminations == other.terminations && launches == other.launches;
    }
};

}  // namespace

StatusBoard::StatusBoard(int64_t daemonStartTime, WallClock clock)
    : clock_(clock), daemonStartTime_(daemonStartTime) {}

void StatusBoard::SetConfig(bool loaded, int32_t pitfalls) {
    std::lock_guard<std::mutex> lock(mutex_);
    configLoaded_ = loaded;
    configPitfalls_ = pitfalls;
}

void StatusBoard::ApplyControl(const daemon_event::Control& control) {
    const bool pauses = control.action == "pause" || control.action == "pause_kept";
    const bool ends = control.action == "resume" || control.action == "pause_ended";
    const bool inRange = control.index >= 0 && control.index < kMaxApplications;
    if (control.granted && !((pauses || ends) && inRange)) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!control.granted) {
            ++controlRefused_;
        } else {
            AppStatus& status = rows_[static_cast<std::size_t>(control.index)].record.status;
            status.maintenance = pauses;
            status.maintenanceUntil = pauses ? control.untilMs / 1000 : 0;
            // Both UTF-8 already, as the journal takes them.
            status.maintenanceBy = pauses ? std::string(control.by) : "";
            status.maintenanceReason = pauses ? std::string(control.reason) : "";
        }
        changed_ = true;
    }
    wake_.notify_all();
}

void StatusBoard::SetWriter(const WriterProcess& writer) {
    WriterProcess utf8 = writer;
    utf8.host = AnsiToUtf8(writer.host);
    std::lock_guard<std::mutex> lock(mutex_);
    writer_ = utf8;
}

int StatusBoard::Add(const AppConfig& app, int index) {
    Row row;
    row.used = true;
    // Labels must be UTF-8 for the collectors' parser.
    row.record.status.name = AnsiToUtf8(app.name);
    row.record.status.index = index;
    row.record.status.endpoint = AnsiToUtf8(app.ip + ":" + std::to_string(app.port));
    std::lock_guard<std::mutex> lock(mutex_);
    rows_[static_cast<std::size_t>(index)] = row;
    changed_ = true;
    wake_.notify_all();
    return index;
}

void StatusBoard::Remove(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    rows_[static_cast<std::size_t>(index)] = Row();
    changed_ = true;
    wake_.notify_all();
}

void StatusBoard::Apply(int index, const WatchdogEvent& event) {
    const int64_t now = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    AppRecord& record = rows_[static_cast<std::size_t>(index)].record;
    const Visible before(record.status);
    ApplyEvent(record, event, now);
    if (!(Visible(record.status) == before)) {
        changed_ = true;
        wake_.notify_all();
    }
}

StatusSnapshot StatusBoard::Snapshot() const {
    StatusSnapshot snapshot;
    snapshot.version = kZelkVersion;
    snapshot.daemonStartTime = daemonStartTime_;
    snapshot.writeTime = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    snapshot.daemonStopTime = stopTime_;
    snapshot.configLoaded = configLoaded_;
    snapshot.configPitfalls = configPitfalls_;
    snapshot.controlRefused = controlRefused_;
    snapshot.writer = writer_;
    for (const Row& row : rows_) {
        if (row.used) {
            snapshot.apps.push_back(StatusAt(row.record, snapshot.writeTime));
        }
    }
    snapshot.appsConfigured = static_cast<int>(snapshot.apps.size());
    return snapshot;
}

bool StatusBoard::Wait(unsigned milliseconds, bool changesWake) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                   [this, changesWake] { return (changesWake && changed_) || stop_; });
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

void StatusBoard::RequestStop() {
    const int64_t now = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stop_) {
        stopTime_ = now;
    }
    stop_ = true;
    wake_.notify_all();
}

bool StatusBoard::StopRequested() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_;
}
