#include "daemon/status_board.h"

#include <chrono>

#include "daemon/status_record.h"

StatusBoard::StatusBoard(int64_t daemonStartTime, WallClock clock)
    : clock_(clock), daemonStartTime_(daemonStartTime) {}

int StatusBoard::Add(const AppConfig& app, int index) {
    AppStatus status;
    status.name = app.name;
    status.index = index;
    status.endpoint = app.ip + ":" + std::to_string(app.port);
    std::lock_guard<std::mutex> lock(mutex_);
    apps_.push_back(status);
    keys_.push_back(&app);
    changed_ = true;
    wake_.notify_all();
    return static_cast<int>(apps_.size()) - 1;
}

int StatusBoard::SlotOf(const AppConfig* app) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] == app) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void StatusBoard::Apply(int slot, const WatchdogEvent& event) {
    const int64_t now = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    ApplyEvent(apps_[static_cast<std::size_t>(slot)], event, now);
    changed_ = true;
    wake_.notify_all();
}

StatusSnapshot StatusBoard::Snapshot() const {
    StatusSnapshot snapshot;
    snapshot.daemonStartTime = daemonStartTime_;
    snapshot.writeTime = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    snapshot.apps = apps_;
    snapshot.appsConfigured = static_cast<int>(apps_.size());
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
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    wake_.notify_all();
}

bool StatusBoard::StopRequested() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_;
}
