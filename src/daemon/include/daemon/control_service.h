// The daemon's control channel: one thread of its own answers the requests
// of zelkctl (docs/control.md), hands pauses, resumes and restarts to the
// watchdogs through their orders, keeps the pauses in force in a small state
// file beside the program, ends each pause at its time, and records every
// request, granted or refused, as an event of the hub (the journal, the
// administrator events) and a log line.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "daemon/watchdog.h"
#include "platform/threads.h"
#include "supervision/config_walk.h"
#include "supervision/control_protocol.h"
#include "supervision/control_rules.h"
#include "supervision/event_hub.h"

class ControlService {
  public:
    // `channel`: the channel's name (platform/control_channel.h);
    // `stateFile`: where the pauses are kept; they are read at once, those
    // whose end has passed left out.
    ControlService(std::string channel, bool consoleMode, ControlSettings settings,
                   std::string stateFile, EventHub& events);
    ~ControlService();
    ControlService(const ControlService&) = delete;
    ControlService& operator=(const ControlService&) = delete;

    // Before Start: an application and its watchdog's orders (a pause kept in
    // the state file is ordered at once). `name`: config.xml's, ANSI code page.
    void AddApp(int index, const std::string& name, WatchdogOrders& orders);

    // What answers a reload request; without one, reload is not served.
    // Called on the control thread between two requests, so that it may call
    // AddApp, RemoveApp and SetSettings. `dryRun`: change nothing.
    using Reloader = std::function<ControlAnswer(bool dryRun)>;
    // Before Start.
    void SetReloader(Reloader reloader);
    // During a reload: forgets the application at `index` (a pause of its
    // name stays kept until its end, for a later file that names it again);
    // AddApp then gives the slot to another, or to the same name's new
    // watchdog, which keeps its pause.
    void RemoveApp(int index);
    // During a reload: the new file's settings, followed from the next
    // request on. The channel's group and mode are set when it opens: they
    // follow at the next start.
    void SetSettings(const ControlSettings& settings);
    // During a reload: the pauses in force, and the index of the application
    // a request names `app` (UTF-8), or -1.
    std::vector<PauseEntry> Pauses() const;
    int IndexOf(const std::string& app) const;
    // Starts the thread; false (and a log line) when it could not start. A
    // channel that cannot be opened is logged, and the pauses still end by
    // their time.
    bool Start();
    // Raises the stop and waits for the thread to end.
    void Stop();

  private:
    struct State;
    static unsigned ZELK_THREAD_CALL Run(void* service);

    std::unique_ptr<State> state_;
    std::atomic<bool> running_{false};
    platform::ThreadHandle thread_ = nullptr;
};
