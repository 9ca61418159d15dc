// The guard for values that arrive over a watchdog connection before they
// reach the log.
#pragma once

#include <string>

// `text` with every control character (bytes 0x00 to 0x1F and 0x7F) written
// as "\xNN", so that a value from a message cannot end a log line early or
// forge one of its own. All other bytes, those of the ANSI code page's
// double-byte characters included, are kept as they are.
std::string SanitizeForLog(const std::string& text);
