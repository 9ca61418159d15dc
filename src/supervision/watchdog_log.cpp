// The watchdog's words: the log and console lines of one watchdog's events,
// as stored logs and their readers match them, letter for letter. Some keep a
// misspelling on purpose ("thead in", "thead exit", "create socket faile",
// "alloc buffer faile", "zlek"): do not correct them.
#include "supervision/watchdog_log.h"

#include "log/log.h"
#include "log/log_line.h"
#include "supervision/log_sanitize.h"

namespace {

constexpr char kWatchdog[] = "CDaemon::DaemonThread";

}  // namespace

WatchdogLog::WatchdogLog(const AppConfig& app, LineOutput& output) : app_(app), output_(output) {}

void WatchdogLog::Report(const WatchdogEvent& e) {
    // The name as the lines show it: a control character in config.xml (a
    // "&#10;") must not end a line early either.
    const std::string shownName = SanitizeForLog(app_.name);
    const char* name = shownName.c_str();
    // A key comes from the application's message: control characters in it
    // must not end a log line early or forge one.
    const std::string key = SanitizeForLog(std::string(e.text));
    auto log = [&](int level, int line, const std::string& message) {
        output_.Log(level, line, kWatchdog, e.code, message);
    };
    switch (e.kind) {
        case WatchdogEventKind::kConnectingWait:
            // The line shows the waits before this one, so the first shows 0.
            log(kTrace, __LINE__,
                FormatLogText("%s CONNECTING %s %dcount", name, SanitizeForLog(app_.ip).c_str(),
                              e.count - 1));
            break;
        case WatchdogEventKind::kReadFailed:
            log(kTrace, __LINE__, FormatLogText("%s recv data failure %d", name, e.count - 1));
            break;
        case WatchdogEventKind::kTerminate:
            if (e.cycle == Cycle::kConnecting) {
                log(kTrace, __LINE__,
                    FormatLogText("connect time out, try close process:%s", name));
            } else if (e.cycle == Cycle::kSilent) {
                log(kTrace, __LINE__,
                    FormatLogText("recv data time out, try close process:%s", name));
            } else {
                log(kTrace, __LINE__,
                    FormatLogText("%s recv data failure %d, try close process", name, e.count));
            }
            break;
        case WatchdogEventKind::kLaunch:
            if (e.cycle == Cycle::kConnecting) {
                log(kTrace, __LINE__, FormatLogText("connect time out, try open process:%s", name));
            } else if (e.cycle == Cycle::kSilent) {
                log(kTrace, __LINE__,
                    FormatLogText("recv data time out, try open process:%s", name));
            } else {
                log(kTrace, __LINE__,
                    FormatLogText("%s recv data failure %d, try open process", name, e.count));
            }
            break;
        case WatchdogEventKind::kReconnect:
            switch (e.cycle) {
                case Cycle::kConnecting:
                    log(kTrace, __LINE__, "connect time out, goto loop");
                    break;
                case Cycle::kSilent:
                    log(kTrace, __LINE__, "recv data time out, goto loop");
                    break;
                case Cycle::kFailing:
                    log(kTrace, __LINE__, "recv data failure, goto loop");
                    break;
                case Cycle::kWaitFailing:
                    log(kTrace, __LINE__,
                        FormatLogText("%s socket error %d times, goto loop", name, e.count));
                    break;
                case Cycle::kNone:
                case Cycle::kNoSocket:
                    // The new attempt's own line tells whether the socket came.
                    break;
            }
            break;
        case WatchdogEventKind::kWaitFailed:
            output_.Print("error");
            log(kTrace, __LINE__, "socket error");
            break;
        case WatchdogEventKind::kThreadStart:
            output_.Print("thead in");
            break;
        case WatchdogEventKind::kThreadExit:
            log(kTrace, __LINE__, "Thread exit!");
            output_.Print("thead exit");
            break;
        case WatchdogEventKind::kBuffersMissing:
            log(kTrace, __LINE__, FormatLogText("%s alloc buffer faile", name));
            break;
        case WatchdogEventKind::kSocketCreateFailed:
            log(kTrace, __LINE__, "create socket faile");
            break;
        case WatchdogEventKind::kDataReceived:
            output_.Print(shownName + " ==> Recv data ok!");
            break;
        case WatchdogEventKind::kBufferOverflow:
            log(kWarning, __LINE__,
                FormatLogText(
                    "%s message buffer full: %d unconsumed bytes discarded, %d bytes received",
                    name, e.count, e.second));
            break;
        case WatchdogEventKind::kTrain:
            log(kTrace, __LINE__, FormatLogText("%s recv train date:%s", name, key.c_str()));
            output_.Print(shownName + " ==> recv:" + key);
            break;
        case WatchdogEventKind::kTrainKeyRefused:
            log(kFatal, __LINE__,
                FormatLogText(
                    "%s refused train key %s: it could leave the picture folder, no file checks",
                    name, key.c_str()));
            break;
        case WatchdogEventKind::kPictureTry:
            log(kFatal, __LINE__,
                FormatLogText("%s try find pic %s\\L001.jpg %d number of times", name, key.c_str(),
                              e.count - 1));
            break;
        case WatchdogEventKind::kXmlTry:
            log(kFatal, __LINE__,
                FormatLogText("%s try find xml %s_L001.xml %d number of times", name, key.c_str(),
                              e.count - 1));
            break;
        case WatchdogEventKind::kMismatch:
            log(kFatal, __LINE__,
                FormatLogText("%s find pic count:%d != find file count:%d", name, e.count,
                              e.second));
            output_.Print(
                FormatLogText("find pic count:%d != find file count:%d", e.count, e.second));
            break;
        case WatchdogEventKind::kUninstallStarting:
            output_.Print("uninstall zlek services!");
            break;
        case WatchdogEventKind::kUninstall:
            log(kFatal, __LINE__,
                FormatLogText("uninstall:%s cmd:", SanitizeForLog(app_.subAppName).c_str()));
            break;
        case WatchdogEventKind::kInstallStarting:
            output_.Print("install zlek services!");
            break;
        case WatchdogEventKind::kInstall:
            log(kFatal, __LINE__,
                FormatLogText("install:%s cmd:", SanitizeForLog(app_.subAppName).c_str()));
            break;
        case WatchdogEventKind::kOutOfMemory:
            log(kWarning, __LINE__,
                FormatLogText("%s watchdog pass given up: out of memory", name));
            break;
        case WatchdogEventKind::kSilentWait:
        case WatchdogEventKind::kConnected:
        case WatchdogEventKind::kResumed:
        case WatchdogEventKind::kTerminated:  // CloseExe writes its own lines
        case WatchdogEventKind::kLaunched:    // and so does OpenExe
        case WatchdogEventKind::kConnectionAttempt:
        case WatchdogEventKind::kThreadNotStarted:  // nothing is logged for it
        case WatchdogEventKind::kReadable:
        case WatchdogEventKind::kHandshake:
            break;
    }
}
