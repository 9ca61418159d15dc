#include "platform/terminal_output.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {

TerminalOutput::TerminalOutput() {
    terminal_ = isatty(STDOUT_FILENO) != 0;
    const char* noColour = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    colour_ = terminal_ && (noColour == nullptr || noColour[0] == '\0') &&
              (term == nullptr || std::strcmp(term, "dumb") != 0);
}

TerminalOutput::~TerminalOutput() = default;

}  // namespace platform
