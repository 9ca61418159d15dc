// The texts below are what stored logs and their readers match, letter for
// letter. Some keep a misspelling on purpose ("thead in", "thead exit",
// "create socket faile", "alloc buffer faile", "TerminateProcess faile:",
// "zlek"): do not correct them.
#include "daemon/event_log.h"

#include <cstdarg>
#include <cstdio>

#include "daemon/log_sanitize.h"
#include "log/log.h"
#include "log/log_line.h"

namespace {

constexpr char kWatchdog[] = "CDaemon::DaemonThread";

std::string Text(const char* format, ...) ZELK_PRINTF_CHECK(1, 2);
std::string Text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatLogMessage(format, args);
    va_end(args);
    return text;
}

class Process final : public LineOutput {
  public:
    void Log(int level, int line, const char* function, int32_t code,
             const std::string& message) override {
        WriteLog(level, line, function, code, "%s", message.c_str());
    }
    void Print(const std::string& text) override {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
};

}  // namespace

LineOutput& ProcessOutput() {
    static Process output;
    return output;
}

WatchdogLog::WatchdogLog(const AppConfig& app, LineOutput& output) : app_(app), output_(output) {}

void WatchdogLog::Report(const WatchdogEvent& e) {
    const char* name = app_.name.c_str();
    // A key comes from the application's message: control characters in it
    // must not end a log line early or forge one.
    const std::string key = SanitizeForLog(std::string(e.text));
    auto log = [&](int level, int line, const std::string& message) {
        output_.Log(level, line, kWatchdog, e.code, message);
    };
    switch (e.kind) {
        case WatchdogEventKind::kConnecting:
            log(kTrace, __LINE__, Text("%s CONNECTING %s %dcount", name, app_.ip.c_str(), e.count));
            break;
        case WatchdogEventKind::kConnectCloseProcess:
            log(kTrace, __LINE__, Text("connect time out, try close process:%s", name));
            break;
        case WatchdogEventKind::kConnectOpenProcess:
            log(kTrace, __LINE__, Text("connect time out, try open process:%s", name));
            break;
        case WatchdogEventKind::kConnectGotoLoop:
            log(kTrace, __LINE__, "connect time out, goto loop");
            break;
        case WatchdogEventKind::kRecvCloseProcess:
            log(kTrace, __LINE__, Text("recv data time out, try close process:%s", name));
            break;
        case WatchdogEventKind::kRecvOpenProcess:
            log(kTrace, __LINE__, Text("recv data time out, try open process:%s", name));
            break;
        case WatchdogEventKind::kRecvGotoLoop:
            log(kTrace, __LINE__, "recv data time out, goto loop");
            break;
        case WatchdogEventKind::kRecvFailure:
            log(kTrace, __LINE__, Text("%s recv data failure %d", name, e.count));
            break;
        case WatchdogEventKind::kFailureCloseProcess:
            log(kTrace, __LINE__,
                Text("%s recv data failure %d, try close process", name, e.count));
            break;
        case WatchdogEventKind::kFailureOpenProcess:
            log(kTrace, __LINE__, Text("%s recv data failure %d, try open process", name, e.count));
            break;
        case WatchdogEventKind::kFailureGotoLoop:
            log(kTrace, __LINE__, "recv data failure, goto loop");
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
            log(kTrace, __LINE__, Text("%s alloc buffer faile", name));
            break;
        case WatchdogEventKind::kSocketCreateFailed:
            log(kTrace, __LINE__, "create socket faile");
            break;
        case WatchdogEventKind::kSilentWait:
        case WatchdogEventKind::kReadable:
        case WatchdogEventKind::kHandshake:
            break;
        case WatchdogEventKind::kDataReceived:
            output_.Print(app_.name + " ==> Recv data ok!");
            break;
        case WatchdogEventKind::kBufferOverflow:
            log(kWarning, __LINE__,
                Text("%s message buffer full: %d unconsumed bytes discarded, %d bytes received",
                     name, e.count, e.second));
            break;
        case WatchdogEventKind::kTrain:
            log(kTrace, __LINE__, Text("%s recv train date:%s", name, key.c_str()));
            output_.Print(app_.name + " ==> recv:" + key);
            break;
        case WatchdogEventKind::kTrainKeyRefused:
            log(kFatal, __LINE__,
                Text("%s refused train key %s: it could leave the picture folder, no file checks",
                     name, key.c_str()));
            break;
        case WatchdogEventKind::kPictureTry:
            log(kFatal, __LINE__,
                Text("%s try find pic %s\\L001.jpg %d number of times", name, key.c_str(),
                     e.count));
            break;
        case WatchdogEventKind::kXmlTry:
            log(kFatal, __LINE__,
                Text("%s try find xml %s_L001.xml %d number of times", name, key.c_str(), e.count));
            break;
        case WatchdogEventKind::kMismatch:
            log(kFatal, __LINE__,
                Text("%s find pic count:%d != find file count:%d", name, e.count, e.second));
            output_.Print(Text("find pic count:%d != find file count:%d", e.count, e.second));
            break;
        case WatchdogEventKind::kUninstall:
            output_.Print("uninstall zlek services!");
            log(kFatal, __LINE__, Text("uninstall:%s cmd:", app_.subAppName.c_str()));
            break;
        case WatchdogEventKind::kInstall:
            output_.Print("install zlek services!");
            log(kFatal, __LINE__, Text("install:%s cmd:", app_.subAppName.c_str()));
            break;
        case WatchdogEventKind::kOutOfMemory:
            log(kWarning, __LINE__, Text("%s watchdog pass given up: out of memory", name));
            break;
    }
}

namespace supervisor_log {

namespace {
void Line(int line, const char* function, int32_t code, const std::string& message,
          int level = kTrace) {
    ProcessOutput().Log(level, line, function, code, message);
}
}  // namespace

void Created() {
    Line(__LINE__, "CDaemon::CDaemon", 0, "Create Daemon!");
}

void Destroyed() {
    Line(__LINE__, "CDaemon::~CDaemon", 0, "Destroy Daemon!");
}

void Started() {
    Line(__LINE__, "CDaemon::Start", 0, "Start Server!");
}

void ConfigOutOfMemory(int taken) {
    Line(__LINE__, "CDaemon::Start", 0,
         Text("config.xml not used beyond its first %d application(s): out of memory", taken),
         kWarning);
}

void StopWaiting() {
    Line(__LINE__, "CDaemon::Stop", 0, "wait stop Server thread !");
}

void StopThreadsOver() {
    Line(__LINE__, "CDaemon::Stop", 0, "stop Server thread over !");
}

void Stopped() {
    Line(__LINE__, "CDaemon::Stop", 0, "Stop Server!");
}

void SessionChosen(uint32_t session) {
    Line(__LINE__, "CDaemon::OpenExe", static_cast<int32_t>(session),
         "WTSGetActiveConsoleSessionId");
}

void UserTokenFailed(int32_t error) {
    Line(__LINE__, "CDaemon::OpenExe", error, "WTSQueryUserToken error!", kFatal);
}

void Launched(const std::string& path, bool created, int32_t error) {
    if (created) {
        ProcessOutput().Print("CreateProcess:" + path);
        Line(__LINE__, "CDaemon::OpenExe", error, Text("Create Process success:%s", path.c_str()));
    } else {
        ProcessOutput().Print("CreateProcess Fail:" + path + "Error:" + std::to_string(error));
        Line(__LINE__, "CDaemon::OpenExe", error, Text("Create Process Fail:%s", path.c_str()));
    }
}

void Terminated(const std::string& name, bool terminated, int32_t error) {
    if (terminated) {
        ProcessOutput().Print("Terminate Process:" + name);
        Line(__LINE__, "CDaemon::CloseExe", error,
             Text("Terminate Process success:%s", name.c_str()));
    } else {
        ProcessOutput().Print("TerminateProcess faile:" + name + "Error" + std::to_string(error));
        Line(__LINE__, "CDaemon::CloseExe", error, Text("Terminate Process Fail:%s", name.c_str()));
    }
}

void StatusNotWritten(const std::string& path, int32_t error) {
    Line(__LINE__, "CDaemon::WriteStatus", error,
         Text("status snapshot %s not written; retrying, logged again once it works", path.c_str()),
         kWarning);
}

void StatusWrittenAgain(const std::string& path) {
    Line(__LINE__, "CDaemon::WriteStatus", 0,
         Text("status snapshot %s written again", path.c_str()), kWarning);
}

}  // namespace supervisor_log
