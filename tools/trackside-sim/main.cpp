// trackside-sim: a stand-in for a supervised trackside application.
#include <cstdio>
#include <string>
#include <vector>

#include "trackside-sim/event_line.h"
#include "trackside-sim/options.h"
#include "trackside-sim/os.h"
#include "trackside-sim/simulator.h"

int main(int argc, char** argv) {
    std::string name = sim::ProgramName(argc > 0 ? argv[0] : "trackside-sim");
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    sim::ParseResult parsed = sim::ParseOptions(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s: %s (see --help)\n", name.c_str(), parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(sim::HelpText(name).c_str(), stdout);
        return 0;
    }
    simos::EndProcess(sim::RunSimulator(parsed.options, name));
}
