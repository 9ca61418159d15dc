// The program's entry: service mode when the service dispatcher accepts the
// process, console mode otherwise. No command-line switch: only a request for
// help or the version is answered, and then nothing runs.
#include <cstdio>
#include <string>
#include <vector>

#include "daemon/daemon.h"
#include "platform/console.h"
#include "platform/control_channel.h"
#include "platform/service_host.h"
#include "platform/system.h"
#include "service/program_info.h"
#include "service/service.h"

namespace {
void PrintLine(const char* line) {
    std::fputs(line, stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

// Runs the supervisor until a key is pressed, or Ctrl-C (or the like)
// asks for the same stop.
void RunConsoleMode() {
    platform::CatchConsoleStopRequests();
    CDaemon* daemon = new CDaemon();
    daemon->Init();
    daemon->ServeControl(platform::ConsoleControlChannel(platform::FolderOf(daemon->ConfigPath())),
                         true);
    PrintLine("=======================start=====================");
    daemon->Start();
    platform::ConsolePause();
    PrintLine("========================stop=====================");
    daemon->Stop();
    delete daemon;
}
}  // namespace

int main(int argc, char** argv) {
    const std::string info =
        ProgramInfo(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (!info.empty()) {
        std::fputs(info.c_str(), stdout);
        return 0;
    }
    // Make sure the process-wide supervisor exists whatever the link order.
    ProcessDaemon();
    if (platform::RunServiceDispatcher("ZELK_Daemon", ServiceMain)) {
        // The service has stopped; there is no console to wait on.
        platform::PauseAfterService();
    } else {
        RunConsoleMode();
        platform::ConsolePause();
    }
    return 0;
}
