// The one place the supervisor's events go: every watchdog's events and the
// supervisor's own, stamped with the time, handed to each consumer in the
// order they were added (the status snapshot, the journal, the administrator
// events). The log lines are written beside it by each watchdog's own sink.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
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

// The supervisor's own events, each kind with its own fields (as the
// watchdog's, watchdog_events.h). A text is a view valid only during the call.
namespace daemon_event {

struct Started {  // the applications are about to start
    int32_t apps = 0;
    std::string_view version;
};
struct Stopping {};    // Stop was called
struct Stopped {       // every watchdog has ended
    int32_t apps = 0;  // applications taken
    std::string_view version;
};
struct ConfigLoaded {
    std::string_view path;
    std::string_view report;  // the engine's result report
};
struct ConfigNotLoaded {
    std::string_view path;
    std::string_view report;
};
struct ConfigPitfalls {  // what a check of the file found
    // As zelkctl check prints them: of each kind the first ones, then how
    // many more.
    const std::vector<std::string>& findings;
    int32_t count = -1;  // every finding; -1: one for each line of `findings`
    int32_t Count() const { return count >= 0 ? count : static_cast<int32_t>(findings.size()); }
};
// The station's clock jumped: between two events it moved more than
// kClockJumpMs apart from the steady clock. Reported on the thread whose
// event found it, before that event.
struct ClockJump {
    int64_t fromMs = 0;  // what the clock would read had it kept step
    int64_t toMs = 0;    // what it reads
};

// A request on the control channel, granted or refused, or the end of a
// pause by its time (action "pause_ended", by empty).
struct Control {
    std::string_view by;      // the caller, as the system named it
    std::string_view action;  // the request's op, or "pause_ended"
    int32_t index = -1;       // the application's, or -1
    std::string_view app;     // as the request named it (UTF-8)
    std::string_view reason;
    int64_t untilMs = 0;         // a pause's end, ms since the epoch; 0: none
    std::string_view untilText;  // the same in local time, for people
    bool granted = false;
    std::string_view error;   // the answer's code when refused ("denied", ...)
    std::string_view answer;  // the answer's message
};

}  // namespace daemon_event

using DaemonEvent =
    std::variant<daemon_event::Started, daemon_event::Stopping, daemon_event::Stopped,
                 daemon_event::ConfigLoaded, daemon_event::ConfigNotLoaded,
                 daemon_event::ConfigPitfalls, daemon_event::ClockJump, daemon_event::Control>;

// How far the station's clock may move apart from the steady clock between
// two events before it counts as a jump (an NTP or GPS correction, a wrong
// manual setting): far beyond the slewing of a clock kept in time.
constexpr int64_t kClockJumpMs = 60000;

// Milliseconds since the epoch.
using WallClockMs = int64_t (*)();

// One consumer of the events. Application events arrive on the watchdog
// threads, several at once; daemon events on the controlling thread, but
// for ClockJump, which comes on the thread that found it. A
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

    // The time of an event; a jump of the clock since the last one is
    // reported first.
    int64_t Stamp();

    WallClockMs clock_;
    WallClockMs monotonicClock_;
    std::vector<EventConsumer*> consumers_;
    std::array<AppIdentity, kMaxApplications> apps_;
    std::array<std::unique_ptr<AppSink>, kMaxApplications> sinks_;
    std::array<std::atomic<int64_t>, kMaxApplications> lastEventMs_{};
    std::array<std::atomic<bool>, kMaxApplications> watching_{};
    int appCount_ = 0;
    std::mutex clockMutex_;
    bool clockSeen_ = false;
    int64_t lastWallMs_ = 0;
    int64_t lastMonotonicMs_ = 0;
};
