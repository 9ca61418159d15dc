// Finding the program a command line starts, as the platform's launch of a
// supervised application finds it, without starting anything.
#pragma once

#include <string>

namespace platform {

// The full path of the program `commandLine` would start, or empty when none
// is found. A relative path is taken from `ownFolder` (ending in its
// separator), the folder the daemon runs from.
//
// Win32, as CreateProcess reads a command line without an application name:
// a quoted first token is the program; an unquoted line is tried at each
// blank in turn ("C:\Program Files\app.exe -x" tries "C:\Program", then
// "C:\Program Files\app.exe"); ".exe" is added to a file name without an
// extension; a name without a folder is looked for in `ownFolder`, then along
// the system's search path (SearchPath).
//
// POSIX: the first word as the launcher splits the line (blanks, quotes and
// backslashes as a shell reads them); a word without "/" is looked for along
// PATH, as execvp does; the file must be a regular file this process may
// execute.
std::string FindProgram(const std::string& commandLine, const std::string& ownFolder);

}  // namespace platform
