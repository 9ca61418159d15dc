// The one place the supervisor's events go: every watchdog's events and the
// supervisor's own, stamped with the time, handed to each consumer in the
// order they were added (the status snapshot, the journal, the administrator
// events). The log lines are written beside it by each watchdog's own sink.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "supervision/app_config.h"
#include "supervision/watchdog_events.h"

// Who an application event is about.
struct AppIdentity {
    int index = 0;         // 0 to 19: the order of the app elements
    std::string name;      // as configured (ANSI code page)
    std::string endpoint;  // "ip:port" as configured
    std::string subApp;    // the sub-application's name
};

enum class DaemonEventKind {
    kStarted,          // the applications are about to start; count: how many, text: version
    kStopping,         // Stop was called
    kStopped,          // every watchdog has ended; count: applications taken
    kConfigLoaded,     // text: the path; count: applications taken
    kConfigNotLoaded,  // text: the path, detail: the engine's result report
    kConfigPitfalls,   // findings: what a check of the file found
};

struct DaemonEvent {
    explicit DaemonEvent(DaemonEventKind what) : kind(what) {}

    DaemonEventKind kind;
    int32_t count = 0;
    // Valid only during the call.
    std::string_view text;
    std::string_view detail;
    const std::vector<std::string>* findings = nullptr;
};

// Milliseconds since the epoch.
using WallClockMs = int64_t (*)();

// One consumer of the events. Application events arrive on the watchdog
// threads, several at once; daemon events on the controlling thread. A
// consumer never blocks for long: it keeps what it needs and returns.
class EventConsumer {
  public:
    virtual ~EventConsumer() = default;
    virtual void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t timeMs) = 0;
    virtual void OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) = 0;
};

class EventHub {
  public:
    EventHub(WallClockMs clock, WallClockMs monotonicClock);
    ~EventHub();
    EventHub(const EventHub&) = delete;
    EventHub& operator=(const EventHub&) = delete;

    // Before any event: consumers, then the applications as they are taken.
    void AddConsumer(EventConsumer* consumer);
    void AddApp(int index, const AppConfig& app);
    const AppIdentity& App(int index) const { return apps_[static_cast<std::size_t>(index)]; }
    int AppCount() const { return appCount_; }
    bool HasConsumers() const { return !consumers_.empty(); }

    void Report(int index, const WatchdogEvent& event);
    void Report(const DaemonEvent& event);

    // The sink of the watchdog of application `index`.
    WatchdogSink& SinkFor(int index);

    // Whether every watchdog that watches has reported an event within
    // `withinMs` (each pass reports at least one): how the supervisor tells
    // that none is stuck. A watchdog watches from its thread's start until
    // it ends or finds it cannot watch.
    bool WatchdogsAlive(int64_t withinMs) const;

  private:
    class AppSink;

    WallClockMs clock_;
    WallClockMs monotonicClock_;
    std::vector<EventConsumer*> consumers_;
    std::array<AppIdentity, kMaxApplications> apps_;
    std::array<std::unique_ptr<AppSink>, kMaxApplications> sinks_;
    std::array<std::atomic<int64_t>, kMaxApplications> lastEventMs_{};
    std::array<std::atomic<bool>, kMaxApplications> watching_{};
    int appCount_ = 0;
};
