// Pure pieces of a log line: level names, the time and date texts, the file
// name and the composed line. No I/O, so they are tested directly.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <string>

#include "log/printf_check.h"

// The longest message kept; longer messages are cut to this many characters.
constexpr std::size_t kLogMessageMaxChars = 8191;

// "FATAL" .. "DEBUG" for 0..5; "UNKNOWN" for any other value.
const char* LogLevelName(int level);

// The C runtime's asctime form without its line end, with a two-digit day:
// "Thu Feb 23 10:22:05 2017".
std::string FormatLogTime(const std::tm& time);

// "ZELK_LOG_2017_02_23.log" for 23 February 2017.
std::string LogFileName(const std::tm& date);

// Formats a printf-style message, cut to kLogMessageMaxChars characters. A
// format the runtime rejects gives an empty message.
std::string FormatLogMessage(const char* format, va_list args);

// The same with the arguments given directly.
std::string FormatLogText(const char* format, ...) ZELK_PRINTF_CHECK(1, 2);

// "--TRACE-- [<time>]  [Line:0126]  CDaemon::Start : 0 , Start Server!\n".
// The line number has at least four digits; the code is signed decimal.
std::string ComposeLogLine(int level, const std::string& timeText, int line, const char* function,
                           int32_t code, const std::string& message);
