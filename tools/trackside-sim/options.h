// Command-line options of the trackside simulator: what it listens on, what
// it sends how often, where it writes a train's result files, and which fault
// it plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// A time from the start of the process at which a fault begins; kNever when
// the fault is not asked for.
constexpr int64_t kNever = -1;

struct Options {
    std::string address = "127.0.0.1";
    int port = 7000;
    int64_t handshakeIntervalMs = 2000;
    // 0: no trains.
    int64_t trainIntervalMs = 30000;
    // Empty: that kind of result file is not written.
    std::string pictureFolder;
    std::string xmlFolder;
    int picturesPerTrain = 3;
    int xmlFilesPerTrain = 3;
    int vehiclesPerTrain = 4;
    // The serial of vehicle 1; empty: vehicle 1 carries no serial.
    std::string serial = "ZK0001";
    int64_t silentAfterMs = kNever;
    int64_t closeAfterMs = kNever;
    int64_t exitAfterMs = kNever;
    bool neverSend = false;
    bool garbage = false;
    // Exits as soon as this file exists; empty: never.
    std::string stopFile;
    // Event lines also go to this file; empty: standard output only.
    std::string logFile;
    bool help = false;
};

struct ParseResult {
    Options options;
    // Empty when the command line was valid.
    std::string error;
};

// Reads the arguments after the program name. Options take their value as
// the next argument or after "=" ("--port 7001", "--port=7001"); times are
// seconds, with up to three decimals. Unknown options, missing or malformed
// values and values out of range give an error text.
ParseResult ParseOptions(const std::vector<std::string>& arguments);

// The --help text, naming the program as `program`.
std::string HelpText(const std::string& program);

}  // namespace sim
