// The simulator's output: one line per event, "HH:MM:SS name: what".
#pragma once

#include <ctime>
#include <string>

namespace sim {

// The file name of the program path, without its folder (either separator).
std::string ProgramName(const std::string& programPath);

// "14:03:27 sim_a: what\n".
std::string EventLine(const std::tm& time, const std::string& name, const std::string& what);

}  // namespace sim
