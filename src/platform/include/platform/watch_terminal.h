// The terminal of a display that redraws itself until the user presses a
// key or Ctrl-C.
#pragma once

#include <memory>
#include <string>

namespace platform {

class WatchTerminal {
  public:
    // Catches Ctrl-C (and, on POSIX, Ctrl-\, SIGTERM and a hang-up) so that
    // the watch ends through WaitForKey instead of the process being killed
    // with the terminal left as the watch set it, ignores SIGPIPE so that a
    // reader that goes away makes Show fail instead, and reads keys from a
    // terminal one at a time without echo. On POSIX, Ctrl-Z hands the
    // terminal back as it was before the process stops and takes it again
    // when it continues.
    WatchTerminal();
    // Puts the terminal and the handling of those signals back as they were.
    ~WatchTerminal();
    WatchTerminal(const WatchTerminal&) = delete;
    WatchTerminal& operator=(const WatchTerminal&) = delete;

    // On a terminal: replaces the screen's content with `text` (lines end in
    // "\n"). Otherwise (a file or a pipe): appends `text`, after a blank line
    // from the second one on. False when it could not be written: the watch
    // should end.
    bool Show(const std::string& text);

    // Waits up to `milliseconds`; true as soon as a key is pressed (from a
    // pipe: a byte arrives) or one of the signals above arrives. Input that
    // has ended (end of file) brings no key: then only a signal ends it.
    // False at once when the process continues after a stop: time to redraw.
    bool WaitForKey(unsigned milliseconds);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
