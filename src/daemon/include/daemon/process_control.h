// Launching an application in the logged-on user's session and terminating
// its processes by executable file name: what CDaemon::OpenExe and CloseExe
// do, and what the watchdogs' process control calls. Each writes its own log
// and console lines. Nothing here keeps state; several watchdog threads may
// call at once.
#pragma once

#include <string>

#include "supervision/watchdog_seams.h"

// Launches the command line `path` in the session of the user logged on at
// the console.
LaunchOutcome LaunchInUserSession(const std::string& path);

// Terminates every process whose executable file name is exactly `name`; the
// first termination that fails leaves the later matches running.
TerminateOutcome TerminateProcessesNamed(const std::string& name);
