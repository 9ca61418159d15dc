#include "daemon/status_snapshot.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// One sample series per application. Both directions of the text go through
// this table, so the writer and the reader cannot disagree.
struct AppMetric {
    const char* name;
    const char* type;  // "gauge" or "counter"
    const char* help;
    const char* kind;  // the value of the extra label kind, or null
    uint64_t (*get)(const AppStatus&);
    void (*set)(AppStatus&, uint64_t);
};

#define ZELK_FIELD(field, cast)                                        \
    [](const AppStatus& a) { return static_cast<uint64_t>(a.field); }, \
        [](AppStatus& a, uint64_t v) { a.field = static_cast<decltype(a.field)>(cast); }

const AppMetric kAppMetrics[] = {
    {"zelk_app_connected", "gauge", "1 while the watchdog is connected to the application.",
     nullptr, ZELK_FIELD(connected, v != 0)},
    {"zelk_app_silent_waits", "gauge",
     "Waits of 3 seconds in a row without data, connecting or connected.", nullptr,
     ZELK_FIELD(silentWaits, v)},
    {"zelk_app_recv_failures", "gauge", "Failed reads in a row on the connection.", nullptr,
     ZELK_FIELD(recvFailures, v)},
    {"zelk_app_last_message_time_seconds", "gauge",
     "Time of the last handshake or train message, in seconds since the epoch (0: never).", nullptr,
     ZELK_FIELD(lastMessageTime, v)},
    {"zelk_app_last_train_time_seconds", "gauge",
     "Time of the last train message, in seconds since the epoch (0: never).", nullptr,
     ZELK_FIELD(lastTrainTime, v)},
    {"zelk_app_install_pending", "gauge",
     "1 while the sub-application is uninstalled and its install command is due.", nullptr,
     ZELK_FIELD(installPending, v != 0)},
    {"zelk_app_messages_total", "counter", "Messages received, by kind.", "handshake",
     ZELK_FIELD(handshakes, v)},
    {"zelk_app_messages_total", "counter", "Messages received, by kind.", "train",
     ZELK_FIELD(trains, v)},
    {"zelk_app_bytes_received_total", "counter", "Bytes received from the application.", nullptr,
     ZELK_FIELD(bytesReceived, v)},
    {"zelk_app_terminations_total", "counter",
     "Times the watchdog terminated the application's processes.", nullptr,
     ZELK_FIELD(terminations, v)},
    {"zelk_app_launches_total", "counter", "Times the watchdog launched the application.", nullptr,
     ZELK_FIELD(launches, v)},
    {"zelk_app_reconnects_total", "counter",
     "Times the watchdog threw its connection away and connected anew.", nullptr,
     ZELK_FIELD(reconnects, v)},
    {"zelk_app_file_mismatches_total", "counter",
     "Trains whose result pictures and XML files did not match.", nullptr,
     ZELK_FIELD(fileMismatches, v)},
    {"zelk_app_uninstall_commands_total", "counter",
     "Uninstall commands run for the sub-application.", nullptr, ZELK_FIELD(uninstallCommands, v)},
    {"zelk_app_install_commands_total", "counter", "Install commands run for the sub-application.",
     nullptr, ZELK_FIELD(installCommands, v)},
};

#undef ZELK_FIELD

const char kStartTime[] = "zelk_daemon_start_time_seconds";
const char kWriteTime[] = "zelk_status_write_time_seconds";
const char kAppsConfigured[] = "zelk_apps_configured";

// Label values: backslash, double quote and line feed escaped.
std::string EscapeLabel(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void Header(std::string* out, const char* name, const char* type, const char* help) {
    *out += std::string("# HELP ") + name + " " + help + "\n";
    *out += std::string("# TYPE ") + name + " " + type + "\n";
}

void Single(std::string* out, const char* name, const char* help, int64_t value) {
    Header(out, name, "gauge", help);
    *out += std::string(name) + " " + std::to_string(value) + "\n";
}

struct Sample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value = 0;
};

// One sample line: name, optional {labels}, value. False when malformed.
bool ParseSample(const std::string& line, Sample* sample) {
    std::size_t i = line.find_first_of("{ ");
    if (i == std::string::npos || i == 0) {
        return false;
    }
    sample->name = line.substr(0, i);
    if (line[i] == '{') {
        ++i;
        while (i < line.size() && line[i] != '}') {
            const std::size_t equals = line.find('=', i);
            if (equals == std::string::npos || equals + 1 >= line.size() ||
                line[equals + 1] != '"') {
                return false;
            }
            const std::string key = line.substr(i, equals - i);
            std::string value;
            std::size_t j = equals + 2;
            for (; j < line.size() && line[j] != '"'; ++j) {
                if (line[j] == '\\' && j + 1 < line.size()) {
                    ++j;
                    value += line[j] == 'n' ? '\n' : line[j];
                } else {
                    value += line[j];
                }
            }
            if (j >= line.size()) {
                return false;
            }
            sample->labels[key] = value;
            i = j + 1;
            if (i < line.size() && line[i] == ',') {
                ++i;
            }
        }
        if (i >= line.size()) {
            return false;
        }
        ++i;
    }
    const std::string number = line.substr(i);
    char* end = nullptr;
    sample->value = std::strtod(number.c_str(), &end);
    while (end != nullptr && (*end == ' ' || *end == '\r')) {
        ++end;
    }
    return end != number.c_str() && end != nullptr && *end == '\0';
}

uint64_t AsCount(double value) {
    return value <= 0 ? 0 : static_cast<uint64_t>(value + 0.5);
}

}  // namespace

std::string FormatStatus(const StatusSnapshot& snapshot) {
    std::string out;
    Single(&out, kStartTime, "Start time of the daemon, in seconds since the epoch.",
           snapshot.daemonStartTime);
    Single(&out, kWriteTime, "Time this snapshot was written, in seconds since the epoch.",
           snapshot.writeTime);
    Single(&out, kAppsConfigured, "Applications taken from config.xml.", snapshot.appsConfigured);
    const char* previous = "";
    for (const AppMetric& metric : kAppMetrics) {
        if (std::string(metric.name) != previous) {
            Header(&out, metric.name, metric.type, metric.help);
            previous = metric.name;
        }
        for (const AppStatus& app : snapshot.apps) {
            out += std::string(metric.name) + "{app=\"" + EscapeLabel(app.name) + "\",index=\"" +
                   std::to_string(app.index) + "\",endpoint=\"" + EscapeLabel(app.endpoint) + "\"";
            if (metric.kind != nullptr) {
                out += std::string(",kind=\"") + metric.kind + "\"";
            }
            out += "} " + std::to_string(metric.get(app)) + "\n";
        }
    }
    return out;
}

bool ParseStatus(const std::string& text, StatusSnapshot* snapshot, std::string* error) {
    StatusSnapshot parsed;
    bool sawWriteTime = false;
    std::map<int, AppStatus> apps;
    std::size_t begin = 0;
    int lineNumber = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        Sample sample;
        if (!ParseSample(line, &sample)) {
            *error = "line " + std::to_string(lineNumber) + " is not a metric sample";
            return false;
        }
        if (sample.name == kStartTime) {
            parsed.daemonStartTime = static_cast<int64_t>(sample.value);
        } else if (sample.name == kWriteTime) {
            parsed.writeTime = static_cast<int64_t>(sample.value);
            sawWriteTime = true;
        } else if (sample.name == kAppsConfigured) {
            parsed.appsConfigured = static_cast<int>(sample.value);
        } else {
            for (const AppMetric& metric : kAppMetrics) {
                if (sample.name != metric.name ||
                    (metric.kind != nullptr && sample.labels["kind"] != metric.kind)) {
                    continue;
                }
                const int index = std::atoi(sample.labels["index"].c_str());
                AppStatus& app = apps[index];
                app.index = index;
                app.name = sample.labels["app"];
                app.endpoint = sample.labels["endpoint"];
                metric.set(app, AsCount(sample.value));
                break;
            }
        }
    }
    if (!sawWriteTime) {
        *error = std::string("no ") + kWriteTime + " sample: not a status snapshot";
        return false;
    }
    for (auto& entry : apps) {
        parsed.apps.push_back(entry.second);
    }
    *snapshot = parsed;
    return true;
}
