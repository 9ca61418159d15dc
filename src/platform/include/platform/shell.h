// Running a command through the system's shell without waiting for it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Starts `command` and returns at once; the command runs on its own and is
// never waited for. Win32: ShellExecuteA with the operation "open", no
// parameters and a hidden window (pass an absolute path: a relative one is
// looked up in the current folder, not the executable's). POSIX: /bin/sh -c
// in a session of its own, standard streams on /dev/null, no descriptor of
// this process inherited, reaped by the system so that it never stays
// behind as a zombie. True when the command was handed over; whether it
// then ran is not known. `*code`: the shell's answer (Win32: ShellExecute's
// result; POSIX: 0, or the error that kept the command from starting).
bool RunShellCommand(const std::string& command, int32_t* code);

}  // namespace platform
