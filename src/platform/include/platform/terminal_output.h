// Standard output as zelkctl's tables and drawings use it: whether it is a
// terminal, and whether colour can be shown there.
#pragma once

namespace platform {

class TerminalOutput {
  public:
    // Looks at standard output. On a Win32 console, switches the console to
    // UTF-8 output and to escape sequences for as long as the object lives.
    TerminalOutput();
    // Puts the console back as it was.
    ~TerminalOutput();
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;

    // Standard output is a terminal (a console), not a file or a pipe.
    bool IsTerminal() const { return terminal_; }
    // Colour escape sequences are understood there, and the user has not
    // asked for none (NO_COLOR set, or TERM=dumb).
    bool TakesColour() const { return colour_; }

  private:
    bool terminal_ = false;
    bool colour_ = false;
    // Win32: the console's output code page and mode before, 0 when not
    // changed. Other systems leave the terminal as it is and never read them.
    [[maybe_unused]] unsigned savedCodePage_ = 0;
    [[maybe_unused]] unsigned long savedMode_ = 0;
    [[maybe_unused]] bool modeChanged_ = false;
};

}  // namespace platform
