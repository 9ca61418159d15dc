#include "trackside-sim/event_line.h"

#include <cstdio>

namespace sim {

std::string ProgramName(const std::string& programPath) {
    size_t slash = programPath.find_last_of("/\\");
    return slash == std::string::npos ? programPath : programPath.substr(slash + 1);
}

std::string EventLine(const std::tm& time, const std::string& name, const std::string& what) {
    char clock[40];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", time.tm_hour, time.tm_min, time.tm_sec);
    return std::string(clock) + " " + name + ": " + what + "\n";
}

}  // namespace sim
