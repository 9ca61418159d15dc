// The console's "pause", and the requests to stop that reach a console
// program: Ctrl-C and its kin.
#pragma once

namespace platform {

// From this call on, the requests that would end a console program at once
// ask it to stop instead: Ctrl-C, SIGTERM and SIGHUP on POSIX; Ctrl-C,
// Ctrl-Break, closing the console window, logging off and shutting down on
// Windows. The first request ends the ConsolePause that waits (or the next
// one at once); further requests are absorbed while the program stops. On
// Windows, for a closed window (and a log-off or shutdown) the system ends
// the process about five seconds after the request: the program has that
// long to stop. Call it once, from the main thread, before other threads
// start (on POSIX they inherit the signal mask it sets).
void CatchConsoleStopRequests();

// True once a stop has been requested through the console.
bool ConsoleStopRequested();

// Win32: runs the shell's "pause". POSIX: prints the prompt Windows prints,
// "Press any key to continue . . . ", and returns after one key from a
// terminal, or one byte or end-of-file from a pipe or file. After
// CatchConsoleStopRequests it also returns when a stop is requested, and at
// once when one has been.
void ConsolePause();

}  // namespace platform
