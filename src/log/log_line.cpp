#include "log/log_line.h"

#include <cstdio>
#include <vector>

namespace {
const char* const kLevelNames[] = {"FATAL", "WARNING", "MONITOR", "NOTICE", "TRACE", "DEBUG"};
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Names of the calendar fields, with out-of-range values shown as "???"
// rather than read past the tables.
const char* Pick(const char* const* names, int count, int index) {
    return index >= 0 && index < count ? names[index] : "???";
}
}  // namespace

const char* LogLevelName(int level) {
    return level >= 0 && level < 6 ? kLevelNames[level] : "UNKNOWN";
}

std::string FormatLogTime(const std::tm& time) {
    char text[128];
    std::snprintf(text, sizeof text, "%.3s %.3s %02d %02d:%02d:%02d %d",
                  Pick(kWeekdays, 7, time.tm_wday), Pick(kMonths, 12, time.tm_mon), time.tm_mday,
                  time.tm_hour, time.tm_min, time.tm_sec, 1900 + time.tm_year);
    return text;
}

std::string LogFileName(const std::tm& date) {
    char text[100];
    if (std::strftime(text, 99, "%Y_%m_%d", &date) == 0) {
        text[0] = '\0';
    }
    return std::string("ZELK_LOG_") + text + ".log";
}

std::string FormatLogMessage(const char* format, va_list args) {
    char text[kLogMessageMaxChars + 1];
    int n = std::vsnprintf(text, sizeof text, format, args);
    if (n < 0) {
        return std::string();
    }
    text[kLogMessageMaxChars] = '\0';
    return text;
}

std::string ComposeLogLine(int level, const std::string& timeText, int line, const char* function,
                           int32_t code, const std::string& message) {
    // The prefix is short and bounded apart from the function name; the
    // message is appended whole, so a message at the limit is never cut twice.
    const char* name = function != nullptr ? function : "";
    std::vector<char> prefix(std::char_traits<char>::length(name) + timeText.size() + 96);
    int n =
        std::snprintf(prefix.data(), prefix.size(), "--%s-- [%s]  [Line:%04d]  %s : %d , ",
                      LogLevelName(level), timeText.c_str(), line, name, static_cast<int>(code));
    if (n < 0) {
        return std::string();
    }
    std::string composed(prefix.data(), static_cast<std::size_t>(n));
    composed += message;
    composed += '\n';
    return composed;
}

std::string FormatLogText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatLogMessage(format, args);
    va_end(args);
    return text;
}
