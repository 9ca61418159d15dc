// The one logging call. Each call appends one line to the day's file
// "ZELK_LOG/ZELK_LOG_<yyyy>_<mm>_<dd>.log" beside the executable and deletes
// the file dated exactly seven days earlier. Nothing is ever reported back to
// the caller; failures go to the debugger-output channel.
#pragma once

#include <cstdint>

#include "log/function_name.h"
#include "log/printf_check.h"

// Severity of a line; the value indexes the fixed table of names.
enum LogLevel : int {
    kFatal = 0,    // "FATAL"
    kWarning = 1,  // "WARNING"
    kMonitor = 2,  // "MONITOR"
    kNotice = 3,   // "NOTICE"
    kTrace = 4,    // "TRACE"
    kDebug = 5,    // "DEBUG"
};

// Writes one line: level name, local time, caller's line and function, an
// error code (the platform's last error where one applies, else 0) and the
// printf-formatted message, cut to 8191 characters.
void WriteLog(int level, int line, const char* function, int32_t code, const char* format, ...)
    ZELK_PRINTF_CHECK(5, 6);

// Logs with the caller's own line number and qualified function name.
#define ZELK_LOG(level, code, ...) \
    WriteLog((level), __LINE__, ZELK_FUNCTION_NAME, (code), __VA_ARGS__)
