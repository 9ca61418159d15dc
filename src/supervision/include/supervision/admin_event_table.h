// The administrator events, one row per kind: the one list from which the
// C++ side (admin_events.h) and the Windows message file are made. The build
// turns these rows into the message file (cmake/AdminEventMessages.cmake reads
// this file line by line), so each row stays on one line, and a text holds no
// double quote, no backslash, no semicolon and no percent sign other than an
// insert. docs/events.md lists every row (scripts/check-sources checks it).
//
// ZELK_ADMIN_EVENT(id, level, name, inserts, text)
//   id       the stable event ID an administrator sets triggers on; never
//            reused. Bands: 1xxx the service, 2xxx an application's
//            connection, 3xxx process control, 4xxx trains and sub-applications,
//            5xxx an operator's control requests.
//   level    Error, Warning or Information.
//   name     the symbolic name: AdminEventId::k<name>, and the message's
//            symbol in the message file.
//   inserts  the inserts' names, comma-separated, for %1, %2, ... in order.
//            Every row of the 2xxx to 4xxx bands starts with app: the
//            application's name, which the summary of held-back events names.
//   text     the message; %N is the Nth insert, and an insert is never
//            followed by a digit or an exclamation mark.
#pragma once

// clang-format off
#define ZELK_ADMIN_EVENTS(ZELK_ADMIN_EVENT) \
ZELK_ADMIN_EVENT(1001, Information, ServiceStarted, "version,applications", "ZELK_Daemon %1 started and watches %2 applications.") \
ZELK_ADMIN_EVENT(1002, Information, ServiceStopping, "", "ZELK_Daemon is stopping: it waits for every watchdog thread to end.") \
ZELK_ADMIN_EVENT(1003, Information, ServiceStopped, "", "ZELK_Daemon has stopped. The applications it launched keep running, unwatched.") \
ZELK_ADMIN_EVENT(1004, Error, ConfigNotLoaded, "path,reason", "The configuration %1 was not loaded, so no application is watched. Reason: %2") \
ZELK_ADMIN_EVENT(1005, Warning, ConfigPitfalls, "count,findings", "The configuration has %1 pitfalls (zelkctl check lists the same): %2") \
ZELK_ADMIN_EVENT(1006, Warning, EventsHeldBack, "count,id,application", "%1 more events with ID %2 for %3 were held back in the last minute: at most one a minute is reported.") \
ZELK_ADMIN_EVENT(1007, Information, ConfigReloaded, "user,summary", "The configuration was reloaded at the request of %1: %2") \
ZELK_ADMIN_EVENT(1008, Warning, ConfigReloadRefused, "user,reason", "A reload of the configuration asked for by %1 was refused and nothing changed: %2") \
ZELK_ADMIN_EVENT(2001, Information, AppConnected, "app,endpoint", "The application %1 at %2 is connected again and sends its messages.") \
ZELK_ADMIN_EVENT(2002, Warning, AppSilent, "app,endpoint,waits", "The application %1 at %2 has sent nothing for %3 waits of 3 seconds: it is terminated and launched again.") \
ZELK_ADMIN_EVENT(2003, Warning, AppReadsFailing, "app,endpoint,failures", "Reads from the application %1 at %2 fail (%3 in a row): it closed or reset the connection.") \
ZELK_ADMIN_EVENT(2004, Error, AppNotWatched, "app,endpoint", "The watchdog thread of the application %1 at %2 could not start: the application is not watched until the service restarts.") \
ZELK_ADMIN_EVENT(3001, Warning, AppTerminated, "app,cycle,processes", "The application %1 was terminated (%3 processes ended) after %2.") \
ZELK_ADMIN_EVENT(3002, Information, AppLaunched, "app,command,session", "The application %1 was launched in session %3: %2") \
ZELK_ADMIN_EVENT(3003, Error, LaunchFailed, "app,command,error,error text", "The application %1 could not be launched, error %3: %4 Command: %2") \
ZELK_ADMIN_EVENT(3004, Warning, NoInteractiveUser, "app", "The application %1 cannot be launched: no user is logged on at the console. It is launched once one logs on.") \
ZELK_ADMIN_EVENT(3005, Information, UserLoggedOn, "app", "A user is logged on again: the application %1 can be launched.") \
ZELK_ADMIN_EVENT(3006, Information, DumpWritten, "app,path,bytes", "A dump of the silent application %1 was written before its termination: %2 (%3 bytes).") \
ZELK_ADMIN_EVENT(3007, Warning, DumpNotMade, "app,reason", "No dump of the silent application %1 could be made before its termination: %2. It was terminated all the same.") \
ZELK_ADMIN_EVENT(4001, Warning, ResultMismatch, "app,train,pictures,files", "The result files of train %2 of the application %1 do not match: %3 pictures, %4 XML files.") \
ZELK_ADMIN_EVENT(4002, Warning, UninstallRun, "app,sub-application,command", "The uninstall command of the sub-application %2 of %1 was run: %3") \
ZELK_ADMIN_EVENT(4003, Information, InstallRun, "app,sub-application,command", "The install command of the sub-application %2 of %1 was run: %3") \
ZELK_ADMIN_EVENT(5001, Information, AppPaused, "app,user,until,reason", "The application %1 is in maintenance until %3, paused by %2: %4. Its watchdog takes no action on it until then.") \
ZELK_ADMIN_EVENT(5002, Information, AppResumed, "app,user", "The application %1 is supervised again, resumed by %2. Its counts start from zero.") \
ZELK_ADMIN_EVENT(5003, Warning, PauseEnded, "app,reason", "The maintenance of the application %1 (%2) has reached its end: the application is supervised again.") \
ZELK_ADMIN_EVENT(5004, Information, RestartRequested, "app,user,reason", "The application %1 is terminated and launched again at the request of %2: %3") \
ZELK_ADMIN_EVENT(5005, Warning, ControlRefused, "app,user,request,reason", "A control request (%3) for %1 from %2 was refused: %4")
// clang-format on
