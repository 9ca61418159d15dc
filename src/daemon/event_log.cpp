// The supervisor's own words: CDaemon's log and console lines, as stored logs
// and their readers match them, letter for letter ("TerminateProcess faile:"
// keeps its misspelling on purpose), and where every line goes.
#include "daemon/event_log.h"

#include <cstdio>

#include "log/log.h"
#include "log/log_line.h"
#include "supervision/log_sanitize.h"

namespace {

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
         FormatLogText("config.xml not used beyond its first %d application(s): out of memory",
                       taken),
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
        Line(__LINE__, "CDaemon::OpenExe", error,
             FormatLogText("Create Process success:%s", path.c_str()));
    } else {
        ProcessOutput().Print("CreateProcess Fail:" + path + "Error:" + std::to_string(error));
        Line(__LINE__, "CDaemon::OpenExe", error,
             FormatLogText("Create Process Fail:%s", path.c_str()));
    }
}

void Terminated(const std::string& configuredName, bool terminated, int32_t error) {
    const std::string name = SanitizeForLog(configuredName);
    if (terminated) {
        ProcessOutput().Print("Terminate Process:" + name);
        Line(__LINE__, "CDaemon::CloseExe", error,
             FormatLogText("Terminate Process success:%s", name.c_str()));
    } else {
        ProcessOutput().Print("TerminateProcess faile:" + name + "Error" + std::to_string(error));
        Line(__LINE__, "CDaemon::CloseExe", error,
             FormatLogText("Terminate Process Fail:%s", name.c_str()));
    }
}

void JournalLinesDropped(const std::string& folder, std::size_t lines) {
    Line(__LINE__, "JournalService::Run", 0,
         FormatLogText("event journal in %s: %lu events lost, the writer fell behind",
                       folder.c_str(), static_cast<unsigned long>(lines)),
         kWarning);
}

void JournalClockJumped(const std::string& folder, const std::string& from, const std::string& to) {
    Line(__LINE__, "JournalService::Run", 0,
         FormatLogText("event journal in %s: the clock moved from %s to %s; no journal file is "
                       "removed until it has kept step for an hour",
                       folder.c_str(), from.c_str(), to.c_str()),
         kWarning);
}

void JournalStopGivenUp(const std::string& folder, std::size_t lines, int64_t waitedMs) {
    Line(__LINE__, "JournalService::Stop", 0,
         FormatLogText("event journal in %s: %lu lines not written: the writer did not finish "
                       "within %lld ms of the stop",
                       folder.c_str(), static_cast<unsigned long>(lines),
                       static_cast<long long>(waitedMs)),
         kWarning);
}

}  // namespace supervisor_log

WriteStreak::WriteStreak(const char* function, const char* what)
    : function_(function), what_(what) {}

void WriteStreak::Note(bool written, const std::string& path, int32_t error) {
    if (!written && !failing_) {
        ProcessOutput().Log(kWarning, __LINE__, function_, error,
                            FormatLogText("%s %s not written; retrying, logged again once it works",
                                          what_, path.c_str()));
    } else if (written && failing_) {
        ProcessOutput().Log(kWarning, __LINE__, function_, 0,
                            FormatLogText("%s %s written again", what_, path.c_str()));
    }
    failing_ = !written;
}
