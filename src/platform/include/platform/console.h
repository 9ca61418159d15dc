// The console's "pause": prompt and wait for one key.
#pragma once

namespace platform {

// Win32: runs the shell's "pause". POSIX: prints the prompt Windows prints,
// "Press any key to continue . . . ", and returns after one key from a
// terminal, or one byte or end-of-file from a pipe or file.
void ConsolePause();

}  // namespace platform
