#include "supervision/event_hub.h"

class EventHub::AppSink final : public WatchdogSink {
  public:
    AppSink(EventHub& hub, int index) : hub_(hub), index_(index) {}
    void Report(const WatchdogEvent& event) override { hub_.Report(index_, event); }

  private:
    EventHub& hub_;
    int index_;
};

EventHub::EventHub(WallClockMs clock, WallClockMs monotonicClock)
    : clock_(clock), monotonicClock_(monotonicClock) {
    for (int i = 0; i < kMaxApplications; ++i) {
        sinks_[static_cast<std::size_t>(i)] = std::make_unique<AppSink>(*this, i);
    }
}

EventHub::~EventHub() = default;

WatchdogSink& EventHub::SinkFor(int index) {
    return *sinks_[static_cast<std::size_t>(index)];
}

void EventHub::AddConsumer(EventConsumer* consumer) {
    consumers_.push_back(consumer);
}

void EventHub::AddApp(int index, const AppConfig& app) {
    AppIdentity& identity = apps_[static_cast<std::size_t>(index)];
    identity.index = index;
    identity.name = app.name;
    identity.endpoint = app.ip + ":" + std::to_string(app.port);
    identity.subApp = app.subAppName;
    if (index >= appCount_) {
        appCount_ = index + 1;
    }
}

void EventHub::Report(int index, const WatchdogEvent& event) {
    const std::size_t slot = static_cast<std::size_t>(index);
    lastEventMs_[slot].store(monotonicClock_());
    if (event.Is<watchdog_event::ThreadStart>()) {
        watching_[slot].store(true);
    } else if (event.Is<watchdog_event::BuffersMissing>() ||
               event.Is<watchdog_event::ThreadExit>()) {
        watching_[slot].store(false);
    }
    const int64_t now = Stamp();
    const AppIdentity& app = apps_[static_cast<std::size_t>(index)];
    for (EventConsumer* consumer : consumers_) {
        consumer->OnAppEvent(app, event, now);
    }
}

bool EventHub::WatchdogsAlive(int64_t withinMs) const {
    const int64_t now = monotonicClock_();
    for (std::size_t i = 0; i < kMaxApplications; ++i) {
        if (watching_[i].load() && now - lastEventMs_[i].load() > withinMs) {
            return false;
        }
    }
    return true;
}

int64_t EventHub::Stamp() {
    const int64_t wall = clock_();
    const int64_t monotonic = monotonicClock_();
    daemon_event::ClockJump jump;
    {
        std::lock_guard<std::mutex> hold(clockMutex_);
        if (clockSeen_) {
            jump.fromMs = lastWallMs_ + (monotonic - lastMonotonicMs_);
            jump.toMs = wall;
        }
        clockSeen_ = true;
        lastWallMs_ = wall;
        lastMonotonicMs_ = monotonic;
    }
    const int64_t moved = jump.toMs - jump.fromMs;
    if (moved > kClockJumpMs || moved < -kClockJumpMs) {
        for (EventConsumer* consumer : consumers_) {
            consumer->OnDaemonEvent(jump, wall);
        }
    }
    return wall;
}

void EventHub::Report(const DaemonEvent& event) {
    const int64_t now = Stamp();
    for (EventConsumer* consumer : consumers_) {
        consumer->OnDaemonEvent(event, now);
    }
}
