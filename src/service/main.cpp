// The program's entry: service mode when the service dispatcher accepts the
// process, console mode otherwise. No command-line switch.
#include <cstdio>

#include "daemon/daemon.h"
#include "platform/console.h"
#include "platform/service_host.h"
#include "service/service.h"

namespace {
void PrintLine(const char* line) {
    std::fputs(line, stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

// Runs the supervisor until a key is pressed.
void RunConsoleMode() {
    CDaemon* daemon = new CDaemon();
    daemon->Init();
    PrintLine("=======================start=====================");
    daemon->Start();
    platform::ConsolePause();
    PrintLine("========================stop=====================");
    daemon->Stop();
    delete daemon;
}
}  // namespace

int main(int /*argc*/, char** /*argv*/) {
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
