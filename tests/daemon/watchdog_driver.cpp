// The supervisor in console form with shortened waits, for end-to-end tests:
// reads config.xml beside itself, starts the watchdog threads, waits in the
// console's "pause" as the console mode does (on Windows a child shell that
// inherits whatever the process holds), and stops them after one byte (or
// the end) of standard input.
//
//   watchdog_driver <read wait ms> <failed-read sleep ms>
#include <cstdio>
#include <cstdlib>

#include "daemon/daemon.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    DaemonTimings timings;
    if (argc > 2) {
        timings.readWaitMs = static_cast<unsigned>(std::atoi(argv[1]));
        timings.failedReadSleepMs = static_cast<unsigned>(std::atoi(argv[2]));
    }
    CDaemon* daemon = new CDaemon();
    daemon->Init();
    daemon->SetTimings(timings);
    bool started = daemon->Start();
    std::printf("driver started:%d\n", started ? 1 : 0);
    std::fflush(stdout);
    platform::ConsolePause();
    std::printf("driver stopping\n");
    std::fflush(stdout);
    daemon->Stop();
    delete daemon;
    std::printf("driver stopped\n");
    std::fflush(stdout);
    return 0;
}
