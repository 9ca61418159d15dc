// CDaemon: the supervisor. It owns one watchdog thread per configured
// application, starts them from config.xml and stops them on request.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "daemon/timings.h"
#include "daemon/watchdog.h"
#include "platform/threads.h"
#include "supervision/app_config.h"
#include "supervision/config_diff.h"
#include "supervision/config_walk.h"
#include "supervision/control_protocol.h"

class ControlService;
class CXmlDocument;
class EventConsumer;
class EventHub;
class JournalService;
class OptionConsumers;
class StatusService;
struct WatchdogSlot;
struct WatchdogThreadContext;

class CDaemon {
  public:
    // Starts the socket library if this is the first instance; logs.
    CDaemon();
    // Stops (again), and ends the socket library if this is the last instance.
    ~CDaemon();
    CDaemon(const CDaemon&) = delete;
    CDaemon& operator=(const CDaemon&) = delete;

    // Clears the thread table and sets the configuration path to "config.xml"
    // in the executable's folder.
    void Init();
    // The same with another module folder (its trailing separator included),
    // for tests.
    void Init(const std::string& moduleFolder);

    // Reads the configuration and starts one watchdog thread per application.
    // True if at least one application entry was taken. Called once in the
    // life of a CDaemon: the event consumers of a first start stay with its
    // event hub, so a second Start after Stop is not supported.
    bool Start();

    // Clears `running` and waits, with no time limit, until every watchdog
    // thread has ended; then closes the thread handles. Always true.
    bool Stop();

    // Launches `path` as a command line in the session of the user logged on
    // at the console. 1 if the process was created, 0 if not.
    int OpenExe(std::string path);
    // Terminates every process whose executable file name is exactly `name`.
    // -1 for an empty name, 0 if none matched or a termination failed, 1 if
    // every match was terminated.
    int CloseExe(std::string name);

    // Appends to `list` the path of every entry of `folder` whose extension
    // is `extension` (any letter case; empty: every entry) and whose name
    // contains "L001" and `key`. Uses nothing of the object, so several
    // watchdog threads may call it at once.
    void CountFiles(std::string folder, std::string extension, std::vector<std::string>& list,
                    std::string key);

    // The watchdog thread's procedure: takes ownership of the context it is
    // given (the application's record and what the thread needs of the
    // supervisor), watches the application until `running` is cleared, then
    // lowers `threadCount` once. Returns 0.
    static unsigned ZELK_THREAD_CALL DaemonThread(void* context);

    // Serves the control channel `channel` (platform/control_channel.h) from
    // Start to Stop; before Start. Without it nobody controls the daemon.
    // `consoleMode`: the daemon's own user may control it too.
    void ServeControl(const std::string& channel, bool consoleMode);

    // Reads config.xml again and, unless `dryRun`, applies what changed:
    // an unchanged application's watchdog is not touched, a changed one's is
    // replaced (its pause kept), a removed one's ends (its processes run on)
    // and a new one gets a watchdog; the control, evidence, status and
    // journal settings follow the file. A file that does not load or that
    // the check finds wrong changes nothing. Returns the control channel's
    // answer. Between Start and Stop, on the control thread (or in a daemon
    // that serves no control channel).
    ControlAnswer Reload(bool dryRun);

    // An extra consumer of the supervisor's events (the administrator
    // events of service mode); before Start. Not owned.
    void AddEventConsumer(EventConsumer* consumer);

    // Whether every watchdog that watches still makes its passes: each has
    // reported an event within `withinMs`. True before Start and after Stop.
    bool WatchdogsAlive(int64_t withinMs) const;

    const DaemonTimings& Timings() const { return timings; }
    // Replaces the timings; tests only, before Start.
    void SetTimings(const DaemonTimings& value) { timings = value; }

    const std::string& ConfigPath() const { return configPath; }
    bool IsRunning() const { return running.load(); }
    int32_t ThreadCount() const { return threadCount.load(); }

    // Number of CDaemon objects alive in the process.
    static int32_t InstanceCount();

    // The socket library's start-up and clean-up, replaceable by tests that
    // count the calls.
    struct SocketLibraryHooks {
        void (*startup)();
        void (*cleanup)();
    };
    static SocketLibraryHooks SetSocketLibraryHooks(SocketLibraryHooks hooks);

    // The start of the watchdog threads (platform::StartThread), replaceable
    // by tests that make it fail; returns the one replaced.
    using ThreadStarter = platform::ThreadHandle (*)(platform::ThreadEntry entry, void* argument);
    static ThreadStarter SetThreadStarter(ThreadStarter starter);

  private:
    // Walks the configuration file and starts one watchdog thread per
    // application; true if an application entry was taken.
    bool StartApplications();
    // Starts the watchdog thread of the record taken at `index`.
    void StartApplication(int index, std::unique_ptr<AppConfig> app);
    // What config.xml turns on beside the applications: the status snapshot,
    // the event journal and the evidence folder.
    void StartOptions(CXmlDocument& document);
    // Tells the consumers what a check of config.xml finds.
    void ReportPitfalls(CXmlDocument& document);
    // Tells the consumers the applications start, once per Start.
    void AnnounceStart(int applications);
    // Carries out a reload's plan; `slotOf` maps its old list to the slots.
    void ApplyReload(const ReloadPlan& plan, const std::vector<int>& slotOf);
    // The status snapshot and the journal of `folder`/`settings`, started
    // and handed to the hub's consumers (through `optionConsumers`); null
    // when off or when they could not start.
    void StartStatus(const std::string& folder);
    void StartJournal(const JournalSettings& settings);
    // Follows the new file's options: the control settings at once, the
    // evidence settings for the watchdogs started from now on, and a status
    // snapshot or journal of changed settings started anew.
    void ApplyOptions(const ConfigOptions& next);

    std::string configPath;
    std::atomic<bool> running;
    std::atomic<int32_t> threadCount;
    std::array<platform::ThreadHandle, kMaxApplications> threads;
    DaemonTimings timings;
    // Where every event goes, and its consumers; the status snapshot's
    // records and writer are null unless config.xml enables them.
    std::unique_ptr<EventHub> events;
    std::vector<EventConsumer*> extraConsumers;
    std::unique_ptr<StatusService> status;
    std::unique_ptr<JournalService> journal;
    // The hub's consumer that hands events to the status board and the
    // journal, which a reload may replace while events flow.
    std::unique_ptr<OptionConsumers> optionConsumers;
    // The control channel, when ServeControl asked for it, and what it
    // orders each watchdog.
    std::string controlChannel;
    bool controlConsole = false;
    std::unique_ptr<ControlService> control;
    std::array<WatchdogOrders, kMaxApplications> orders;
    // Each slot's thread flags, and the record its watchdog watches (the
    // reload's "before"); `watched[i]` is empty where no application is.
    std::unique_ptr<std::array<WatchdogSlot, kMaxApplications>> slots;
    std::array<std::unique_ptr<AppConfig>, kMaxApplications> watched;
    ConfigOptions options;
    // Dumps of silent applications before their termination: off unless
    // config.xml asks for them.
    EvidenceSettings evidence;
    bool startAnnounced = false;
    // Stop has told the consumers already (Start clears it).
    bool stopAnnounced = true;
};
