// The simulator's run: listen, accept, send what the schedule says, write
// result files, play the faults, until an exit is due or the stop file shows.
#pragma once

#include <string>

#include "trackside-sim/options.h"

namespace sim {

// Runs until the end; returns the process exit code (0 after --exit-after
// or the stop file, 1 when the port could not be opened).
int RunSimulator(const Options& options, const std::string& name);

}  // namespace sim
