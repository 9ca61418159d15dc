#include "trackside-sim/options.h"

#include <functional>
#include <map>

namespace sim {

namespace {

constexpr int64_t kMaxSeconds = 100000000;

// Whole decimal number within [low, high]; false on anything else.
bool ParseCount(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    if (result < low || result > high) {
        return false;
    }
    *value = result;
    return true;
}

// Seconds as "12", "0.5" or "1.25" (at most three decimals) into milliseconds.
bool ParseSeconds(const std::string& text, int64_t* milliseconds) {
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (whole.empty() && fraction.empty()) {
        return false;
    }
    if (dot != std::string::npos && (fraction.empty() || fraction.size() > 3)) {
        return false;
    }
    int64_t seconds = 0;
    if (!whole.empty() && !ParseCount(whole, 0, kMaxSeconds, &seconds)) {
        return false;
    }
    int64_t thousandths = 0;
    if (!fraction.empty()) {
        if (!ParseCount(fraction, 0, 999, &thousandths)) {
            return false;
        }
        for (size_t i = fraction.size(); i < 3; ++i) {
            thousandths *= 10;
        }
    }
    *milliseconds = seconds * 1000 + thousandths;
    return true;
}

using Setter = std::function<bool(Options&, const std::string&)>;

// Seconds of at least `minimumMs` milliseconds; 0 too when `zeroAllowed`.
Setter Seconds(int64_t Options::*field, int64_t minimumMs, bool zeroAllowed) {
    return [field, minimumMs, zeroAllowed](Options& o, const std::string& v) {
        int64_t ms = 0;
        if (!ParseSeconds(v, &ms) || (ms < minimumMs && !(ms == 0 && zeroAllowed))) {
            return false;
        }
        o.*field = ms;
        return true;
    };
}

Setter Count(int Options::*field, int64_t low, int64_t high) {
    return [field, low, high](Options& o, const std::string& v) {
        int64_t n = 0;
        if (!ParseCount(v, low, high, &n)) {
            return false;
        }
        o.*field = static_cast<int>(n);
        return true;
    };
}

Setter Text(std::string Options::*field) {
    return [field](Options& o, const std::string& v) {
        o.*field = v;
        return true;
    };
}

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--address", Text(&Options::address)},
        {"--port", Count(&Options::port, 1, 65535)},
        {"--handshake-interval", Seconds(&Options::handshakeIntervalMs, 100, false)},
        {"--train-interval", Seconds(&Options::trainIntervalMs, 1000, true)},
        {"--picture-dir", Text(&Options::pictureFolder)},
        {"--xml-dir", Text(&Options::xmlFolder)},
        {"--pictures", Count(&Options::picturesPerTrain, 0, 999)},
        {"--xml-files", Count(&Options::xmlFilesPerTrain, 0, 999)},
        {"--vehicles", Count(&Options::vehiclesPerTrain, 0, 999)},
        {"--serial", Text(&Options::serial)},
        {"--silent-after", Seconds(&Options::silentAfterMs, 0, true)},
        {"--close-after", Seconds(&Options::closeAfterMs, 0, true)},
        {"--exit-after", Seconds(&Options::exitAfterMs, 0, true)},
        {"--stop-file", Text(&Options::stopFile)},
        {"--log", Text(&Options::logFile)},
    };
    return options;
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& arguments) {
    ParseResult result;
    Options& o = result.options;
    bool xmlFilesGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool hasValue = false;
        size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h" || name == "/?") {
            o.help = true;
            continue;
        }
        if (name == "--never-send" || name == "--garbage") {
            if (hasValue) {
                result.error = name + " takes no value";
                return result;
            }
            (name == "--never-send" ? o.neverSend : o.garbage) = true;
            continue;
        }
        auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) {
            result.error = "unknown option " + arguments[i];
            return result;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = arguments[++i];
        }
        if (!option->second(o, value)) {
            result.error = "bad value for " + name + ": \"" + value + "\"";
            return result;
        }
        xmlFilesGiven = xmlFilesGiven || name == "--xml-files";
    }
    // Equal numbers of pictures and XML files unless asked otherwise.
    if (!xmlFilesGiven) {
        o.xmlFilesPerTrain = o.picturesPerTrain;
    }
    return result;
}

std::string HelpText(const std::string& program) {
    return "Usage: " + program + R"( [options]

Plays a trackside application for a supervisor: listens for TCP connections,
sends every connection a "handshake" message at each handshake interval and a
"train" message at each train interval, and before each train message writes
the train's result files. Prints one line per event.

Options (times in seconds, decimals allowed):
  --address IP              IPv4 address to listen on (default 127.0.0.1)
  --port N                  port to listen on (default 7000)
  --handshake-interval S    time between handshake messages (default 2, at least 0.1)
  --train-interval S        time between trains (default 30, at least 1; 0: no trains)
  --picture-dir DIR         pictures go to DIR/<train key>/L001_NNN.jpg
  --xml-dir DIR             XML results go to DIR/<train key>_L001_NNN.xml
  --pictures N              pictures per train (default 3)
  --xml-files N             XML files per train (default: as many as pictures)
  --vehicles N              vehicles ("vagen") per train (default 4)
  --serial TEXT             serial of vehicle 1 (default ZK0001; empty: none)
  --log FILE                also append every event line to FILE
  --stop-file FILE          exit as soon as FILE exists

Faults (times from the start of the process):
  --silent-after S          send nothing more after S seconds; connections stay open
  --close-after S           from S seconds on, close every connection, open and new
  --exit-after S            exit after S seconds
  --never-send              accept connections but never send anything
  --garbage                 send random bytes instead of messages

The train key is the train's "time" text (like 2026-12-08 14:03:27) without
blanks, hyphens and colons (20261208140327). Without --picture-dir or
--xml-dir that kind of file is not written.
)";
}

}  // namespace sim
