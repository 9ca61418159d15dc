// The watchdog's words: the log and console lines of one watchdog's events,
// as stored logs and their readers match them, letter for letter. Some keep a
// misspelling on purpose ("thead in", "thead exit", "create socket faile",
// "alloc buffer faile", "zlek"): do not correct them.
#include "supervision/watchdog_log.h"

#include "log/log.h"
#include "log/log_line.h"
#include "supervision/log_sanitize.h"

namespace {

namespace ev = watchdog_event;

constexpr char kWatchdog[] = "CDaemon::DaemonThread";

// The lines of one event: one call for each kind that writes any. The kinds
// without a case write nothing (Terminated and Launched among them: CloseExe
// and OpenExe write their own lines).
class Lines {
  public:
    Lines(const AppConfig& app, LineOutput& output) : app_(app), output_(output) {}

    void operator()(const ev::ConnectingWait& e) {
        // The line shows the waits before this one, so the first shows 0.
        Log(kTrace, __LINE__, e.socketError,
            FormatLogText("%s CONNECTING %s %dcount", Name().c_str(),
                          SanitizeForLog(app_.ip).c_str(), e.waits - 1));
    }
    void operator()(const ev::ReadFailed& e) {
        Log(kTrace, __LINE__, e.socketError,
            FormatLogText("%s recv data failure %d", Name().c_str(), e.failures - 1));
    }
    void operator()(const ev::Terminate& e) {
        const int32_t code = e.socketError;
        if (e.cycle == Cycle::kConnecting) {
            Log(kTrace, __LINE__, code,
                FormatLogText("connect time out, try close process:%s", Name().c_str()));
        } else if (e.cycle == Cycle::kSilent) {
            Log(kTrace, __LINE__, code,
                FormatLogText("recv data time out, try close process:%s", Name().c_str()));
        } else {
            Log(kTrace, __LINE__, code,
                FormatLogText("%s recv data failure %d, try close process", Name().c_str(),
                              e.count));
        }
    }
    void operator()(const ev::Launch& e) {
        const int32_t code = e.socketError;
        if (e.cycle == Cycle::kConnecting) {
            Log(kTrace, __LINE__, code,
                FormatLogText("connect time out, try open process:%s", Name().c_str()));
        } else if (e.cycle == Cycle::kSilent) {
            Log(kTrace, __LINE__, code,
                FormatLogText("recv data time out, try open process:%s", Name().c_str()));
        } else {
            Log(kTrace, __LINE__, code,
                FormatLogText("%s recv data failure %d, try open process", Name().c_str(),
                              e.count));
        }
    }
    void operator()(const ev::Reconnect& e) {
        const int32_t code = e.socketError;
        switch (e.cycle) {
            case Cycle::kConnecting:
                Log(kTrace, __LINE__, code, "connect time out, goto loop");
                break;
            case Cycle::kSilent:
                Log(kTrace, __LINE__, code, "recv data time out, goto loop");
                break;
            case Cycle::kFailing:
                Log(kTrace, __LINE__, code, "recv data failure, goto loop");
                break;
            case Cycle::kWaitFailing:
                Log(kTrace, __LINE__, code,
                    FormatLogText("%s socket error %d times, goto loop", Name().c_str(), e.count));
                break;
            case Cycle::kNone:
            case Cycle::kNoSocket:
                // The new attempt's own line tells whether the socket came.
                break;
        }
    }
    void operator()(const ev::WaitFailed& e) {
        output_.Print("error");
        Log(kTrace, __LINE__, e.socketError, "socket error");
    }
    void operator()(const ev::ThreadStart&) { output_.Print("thead in"); }
    void operator()(const ev::ThreadExit&) {
        Log(kTrace, __LINE__, 0, "Thread exit!");
        output_.Print("thead exit");
    }
    void operator()(const ev::BuffersMissing&) {
        Log(kTrace, __LINE__, 0, FormatLogText("%s alloc buffer faile", Name().c_str()));
    }
    void operator()(const ev::SocketCreateFailed& e) {
        Log(kTrace, __LINE__, e.error, "create socket faile");
    }
    void operator()(const ev::DataReceived&) { output_.Print(Name() + " ==> Recv data ok!"); }
    void operator()(const ev::BufferOverflow& e) {
        Log(kWarning, __LINE__, 0,
            FormatLogText(
                "%s message buffer full: %d unconsumed bytes discarded, %d bytes received",
                Name().c_str(), e.discarded, e.kept));
    }
    void operator()(const ev::Train& e) {
        const std::string key = Key(e.key);
        Log(kTrace, __LINE__, e.socketError,
            FormatLogText("%s recv train date:%s", Name().c_str(), key.c_str()));
        output_.Print(Name() + " ==> recv:" + key);
    }
    void operator()(const ev::TrainKeyRefused& e) {
        Log(kFatal, __LINE__, 0,
            FormatLogText(
                "%s refused train key %s: it could leave the picture folder, no file checks",
                Name().c_str(), Key(e.key).c_str()));
    }
    // A try's line shows the tries before it, as its code too.
    void operator()(const ev::PictureTry& e) {
        Log(kFatal, __LINE__, e.tries - 1,
            FormatLogText("%s try find pic %s\\L001.jpg %d number of times", Name().c_str(),
                          Key(e.key).c_str(), e.tries - 1));
    }
    void operator()(const ev::XmlTry& e) {
        Log(kFatal, __LINE__, e.tries - 1,
            FormatLogText("%s try find xml %s_L001.xml %d number of times", Name().c_str(),
                          Key(e.key).c_str(), e.tries - 1));
    }
    void operator()(const ev::Mismatch& e) {
        Log(kFatal, __LINE__, 0,
            FormatLogText("%s find pic count:%d != find file count:%d", Name().c_str(), e.pictures,
                          e.xmlFiles));
        output_.Print(
            FormatLogText("find pic count:%d != find file count:%d", e.pictures, e.xmlFiles));
    }
    void operator()(const ev::UninstallStarting&) { output_.Print("uninstall zlek services!"); }
    void operator()(const ev::Uninstall&) {
        Log(kFatal, __LINE__, 0,
            FormatLogText("uninstall:%s cmd:", SanitizeForLog(app_.subAppName).c_str()));
    }
    void operator()(const ev::InstallStarting&) { output_.Print("install zlek services!"); }
    void operator()(const ev::Install&) {
        Log(kFatal, __LINE__, 0,
            FormatLogText("install:%s cmd:", SanitizeForLog(app_.subAppName).c_str()));
    }
    void operator()(const ev::OutOfMemory&) {
        Log(kWarning, __LINE__, 0,
            FormatLogText("%s watchdog pass given up: out of memory", Name().c_str()));
    }
    // A dump not written is a warning once per streak, then a trace line.
    void operator()(const ev::Evidence& e) {
        const std::string path = SanitizeForLog(std::string(e.path));
        const std::string took = std::to_string(e.milliseconds) + " ms";
        switch (e.result) {
            case EvidenceResult::kWritten:
                Log(kTrace, __LINE__, 0,
                    Name() + " dump before termination: " + path + ", " + std::to_string(e.bytes) +
                        " bytes in " + took);
                return;
            case EvidenceResult::kTimedOut:
                NoDump(e, "abandoned after " + took + ", the partial file removed: " + path);
                return;
            case EvidenceResult::kFailed:
                NoDump(e, "cannot be written: " + path);
                return;
            case EvidenceResult::kNotAvailable:
                NoDump(e, "no dump writer on this system (gdb's gcore or dbghelp)");
                return;
            case EvidenceResult::kNotKept:
                NoDump(e, "it would not fit the evidence folder's bounds");
                return;
        }
    }
    template <typename Silent>
    void operator()(const Silent&) {}

  private:
    void NoDump(const ev::Evidence& e, const std::string& why) {
        Log(e.streakStart ? kWarning : kTrace, __LINE__, e.error,
            Name() + " no dump before termination: " + why);
    }
    void Log(int level, int line, int32_t code, const std::string& message) {
        output_.Log(level, line, kWatchdog, code, message);
    }
    // The name as the lines show it: a control character in config.xml (a
    // "&#10;") must not end a line early either.
    std::string Name() const { return SanitizeForLog(app_.name); }
    // A key comes from the application's message: control characters in it
    // must not end a log line early or forge one.
    static std::string Key(std::string_view key) { return SanitizeForLog(std::string(key)); }

    const AppConfig& app_;
    LineOutput& output_;
};

}  // namespace

WatchdogLog::WatchdogLog(const AppConfig& app, LineOutput& output) : app_(app), output_(output) {}

void WatchdogLog::Report(const WatchdogEvent& event) {
    std::visit(Lines(app_, output_), event.what);
}
