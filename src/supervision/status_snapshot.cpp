#include "supervision/status_snapshot.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

#include "supervision/app_config.h"
#include "supervision/status_state.h"

namespace {

// The largest value of each kind a reader takes; above it the text is no
// snapshot of ours.
constexpr uint64_t kFlag = 1;
constexpr uint64_t kRun = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
constexpr uint64_t kTime = static_cast<uint64_t>(kMaxStatusTime);
// Counts up to 2^53, the last whole number every double holds exactly.
constexpr uint64_t kCount = uint64_t{1} << 53;

// One sample series per application. Both directions of the text go through
// this table, so the writer and the reader cannot disagree.
struct AppMetric {
    const char* name;
    const char* type;  // "gauge" or "counter"
    const char* help;
    const char* label;  // the name of an extra label, or null
    const char* value;  // its value
    uint64_t max;
    uint64_t (*get)(const AppStatus&);
    void (*set)(AppStatus&, uint64_t);
};

// The getter and setter of a field of `Record` that a metric reads and
// writes; `cast` turns the read value v into the field's.
#define ZELK_FIELD(Record, field, cast)                             \
    [](const Record& r) { return static_cast<uint64_t>(r.field); }, \
        [](Record& r, uint64_t v) { r.field = static_cast<decltype(r.field)>(cast); }

// The one-of-N state lines. The reader takes only the two states that no
// other metric tells; the rest follow from the gauges.
using journal::AppState;

template <AppState kState>
uint64_t InState(const AppStatus& app) {
    return StateOf(app) == kState ? 1 : 0;
}
template <AppState kState>
void SetState(AppStatus& app, uint64_t value) {
    if (kState == AppState::kDown) {
        app.down = value != 0;
    } else if (kState == AppState::kNotWatched) {
        app.notWatched = value != 0;
    }
}
#define ZELK_STATE(state, name)                                                                \
    {                                                                                          \
        "zelk_app_state", "gauge", "1 for the state the application is in, 0 for the others.", \
            "state", name, kFlag, InState<state>, SetState<state>                              \
    }

const AppMetric kAppMetrics[] = {
    ZELK_STATE(AppState::kConnected, "connected"),
    ZELK_STATE(AppState::kConnecting, "connecting"),
    ZELK_STATE(AppState::kSilent, "silent"),
    ZELK_STATE(AppState::kFailing, "failing"),
    ZELK_STATE(AppState::kDown, "down"),
    ZELK_STATE(AppState::kNotWatched, "not_watched"),
    {"zelk_app_maintenance", "gauge",
     "1 while the application is paused for maintenance: its watchdog takes no action on it.",
     nullptr, nullptr, kFlag, ZELK_FIELD(AppStatus, maintenance, v != 0)},
    {"zelk_app_maintenance_until_time_seconds", "gauge",
     "When the application's maintenance ends by itself, 0 when it is not paused.", nullptr,
     nullptr, kTime, ZELK_FIELD(AppStatus, maintenanceUntil, v)},
    {"zelk_app_connected", "gauge", "1 while the watchdog is connected to the application.",
     nullptr, nullptr, kFlag, ZELK_FIELD(AppStatus, connected, v != 0)},
    {"zelk_app_silent_waits", "gauge",
     "Waits of 3 seconds in a row without data, connecting or connected.", nullptr, nullptr, kRun,
     ZELK_FIELD(AppStatus, silentWaits, v)},
    {"zelk_app_recv_failures", "gauge", "Failed reads in a row on the connection.", nullptr,
     nullptr, kRun, ZELK_FIELD(AppStatus, recvFailures, v)},
    {"zelk_app_last_message_time_seconds", "gauge",
     "Time of the last handshake or train message, in seconds since the epoch (0: never).", nullptr,
     nullptr, kTime, ZELK_FIELD(AppStatus, lastMessageTime, v)},
    {"zelk_app_last_train_time_seconds", "gauge",
     "Time of the last train message, in seconds since the epoch (0: never).", nullptr, nullptr,
     kTime, ZELK_FIELD(AppStatus, lastTrainTime, v)},
    {"zelk_app_install_pending", "gauge",
     "1 while the sub-application is uninstalled and its install command is due.", nullptr, nullptr,
     kFlag, ZELK_FIELD(AppStatus, installPending, v != 0)},
    {"zelk_app_messages_total", "counter", "Messages received, by kind.", "kind", "handshake",
     kCount, ZELK_FIELD(AppStatus, handshakes, v)},
    {"zelk_app_messages_total", "counter", "Messages received, by kind.", "kind", "train", kCount,
     ZELK_FIELD(AppStatus, trains, v)},
    {"zelk_app_bytes_received_total", "counter", "Bytes received from the application.", nullptr,
     nullptr, kCount, ZELK_FIELD(AppStatus, bytesReceived, v)},
    {"zelk_app_terminations_total", "counter",
     "The same as zelk_app_termination_attempts_total, kept for existing queries: attempts, "
     "two for one restart of a silent application (zelk_app_restarts_total counts restarts).",
     nullptr, nullptr, kCount, ZELK_FIELD(AppStatus, terminations, v)},
    {"zelk_app_termination_attempts_total", "counter",
     "Times the watchdog set out to terminate the application's processes: attempts, two for "
     "one restart of a silent application (zelk_app_restarts_total counts restarts).",
     nullptr, nullptr, kCount, ZELK_FIELD(AppStatus, terminations, v)},
    {"zelk_app_processes_terminated_total", "counter",
     "Processes of the application the watchdog terminated.", nullptr, nullptr, kCount,
     ZELK_FIELD(AppStatus, processesTerminated, v)},
    {"zelk_app_terminations_last_hour", "gauge",
     "Termination attempts within the hour before the write time (restarts: "
     "zelk_app_restarts_last_hour).",
     nullptr, nullptr, kRun, ZELK_FIELD(AppStatus, terminationsLastHour, v)},
    {"zelk_app_restarts_total", "counter",
     "Restarts: terminations that began a down period (the application was not already down).",
     nullptr, nullptr, kCount, ZELK_FIELD(AppStatus, restarts, v)},
    {"zelk_app_restarts_last_hour", "gauge",
     "Restarts within the hour before the write time; 3 or more are a restart storm.", nullptr,
     nullptr, kRun, ZELK_FIELD(AppStatus, restartsLastHour, v)},
    {"zelk_app_launches_total", "counter", "Times the watchdog launched the application.", nullptr,
     nullptr, kCount, ZELK_FIELD(AppStatus, launches, v)},
    {"zelk_app_reconnects_total", "counter",
     "Times the watchdog threw its connection away and connected anew.", nullptr, nullptr, kCount,
     ZELK_FIELD(AppStatus, reconnects, v)},
    {"zelk_app_file_mismatches_total", "counter",
     "Trains whose result pictures and XML files did not match.", nullptr, nullptr, kCount,
     ZELK_FIELD(AppStatus, fileMismatches, v)},
    {"zelk_app_uninstall_commands_total", "counter",
     "Uninstall commands run for the sub-application.", nullptr, nullptr, kCount,
     ZELK_FIELD(AppStatus, uninstallCommands, v)},
    {"zelk_app_install_commands_total", "counter", "Install commands run for the sub-application.",
     nullptr, nullptr, kCount, ZELK_FIELD(AppStatus, installCommands, v)},
};

#undef ZELK_STATE

// The daemon's own series, one sample each.
struct DaemonMetric {
    const char* name;
    const char* type;  // "gauge" or "counter"
    const char* help;
    uint64_t max;
    uint64_t (*get)(const StatusSnapshot&);
    void (*set)(StatusSnapshot&, uint64_t);
};

const char kWriteTime[] = "zelk_status_write_time_seconds";
const char kBuildInfo[] = "zelk_build_info";
const char kProcess[] = "zelk_daemon_process";
const char kMaintenanceInfo[] = "zelk_app_maintenance_info";

const DaemonMetric kDaemonMetrics[] = {
    {"zelk_daemon_start_time_seconds", "gauge",
     "Start time of the daemon, in seconds since the epoch.", kTime,
     ZELK_FIELD(StatusSnapshot, daemonStartTime, v)},
    {"zelk_daemon_stop_time_seconds", "gauge",
     "Time the daemon stopped, in seconds since the epoch (0 while it runs).", kTime,
     ZELK_FIELD(StatusSnapshot, daemonStopTime, v)},
    {kWriteTime, "gauge", "Time this snapshot was written, in seconds since the epoch.", kTime,
     ZELK_FIELD(StatusSnapshot, writeTime, v)},
    {"zelk_apps_configured", "gauge", "Applications taken from config.xml.", kMaxApplications,
     ZELK_FIELD(StatusSnapshot, appsConfigured, v)},
    {"zelk_config_loaded", "gauge", "1 when config.xml was loaded.", kFlag,
     ZELK_FIELD(StatusSnapshot, configLoaded, v != 0)},
    {"zelk_config_pitfalls", "gauge", "Pitfalls zelkctl check finds in the loaded config.xml.",
     kRun, ZELK_FIELD(StatusSnapshot, configPitfalls, v)},
    {"zelk_control_refused_total", "counter",
     "Control requests the daemon refused since its start: for want of rights, malformed, or "
     "naming no application.",
     kCount, ZELK_FIELD(StatusSnapshot, controlRefused, v)},
};

#undef ZELK_FIELD

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

// The sample's value as a whole number from 0 to `max`; false for anything
// else (NaN and the infinities fail every comparison or the bound).
bool WholeValue(double value, uint64_t max, uint64_t* out) {
    if (!(value >= 0) || value > static_cast<double>(max) || std::floor(value) != value) {
        return false;
    }
    *out = static_cast<uint64_t>(value);
    return true;
}

// The index label: one or two decimal digits naming 0 to 19.
bool ParseIndex(const std::string& text, int* index) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != text.npos ||
        (text.size() == 2 && text[0] == '0')) {
        return false;
    }
    *index = std::atoi(text.c_str());
    return *index < kMaxApplications;
}

// A label holding a whole number from 0 to `max` in plain decimal digits.
bool NumberLabel(const std::string& text, uint64_t max, uint64_t* value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    uint64_t n = 0;
    for (char c : text) {
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (n > (max - digit) / 10) {
            return false;
        }
        n = n * 10 + digit;
    }
    *value = n;
    return true;
}

// The writer's process from the labels of its sample; false when a number
// does not read.
bool ParseWriter(Sample& sample, WriterProcess* writer) {
    uint64_t id = 0;
    uint64_t start = 0;
    if (!NumberLabel(sample.labels["pid"], std::numeric_limits<uint32_t>::max(), &id) ||
        !NumberLabel(sample.labels["start"], std::numeric_limits<uint64_t>::max(), &start)) {
        return false;
    }
    writer->host = sample.labels["host"];
    writer->id = static_cast<uint32_t>(id);
    writer->start = start;
    return true;
}

}  // namespace

std::string FormatStatus(const StatusSnapshot& snapshot) {
    std::string out;
    Header(&out, kBuildInfo, "gauge", "The daemon's version, in the label version.");
    out += std::string(kBuildInfo) + "{version=\"" + EscapeLabel(snapshot.version) + "\"} 1\n";
    if (snapshot.writer.id != 0) {
        Header(&out, kProcess, "gauge",
               "The daemon's process, 1: the host it runs on, its id and its start as the system "
               "tells it (Linux: clock ticks after boot; Windows: microseconds since the epoch).");
        out += std::string(kProcess) + "{host=\"" + EscapeLabel(snapshot.writer.host) +
               "\",pid=\"" + std::to_string(snapshot.writer.id) + "\",start=\"" +
               std::to_string(snapshot.writer.start) + "\"} 1\n";
    }
    for (const DaemonMetric& metric : kDaemonMetrics) {
        Header(&out, metric.name, metric.type, metric.help);
        out += std::string(metric.name) + " " + std::to_string(metric.get(snapshot)) + "\n";
    }
    std::vector<std::string> labels;
    for (const AppStatus& app : snapshot.apps) {
        labels.push_back("{app=\"" + EscapeLabel(app.name) + "\",index=\"" +
                         std::to_string(app.index) + "\",endpoint=\"" + EscapeLabel(app.endpoint) +
                         "\"");
    }
    const char* previous = "";
    for (const AppMetric& metric : kAppMetrics) {
        if (std::string(metric.name) != previous) {
            Header(&out, metric.name, metric.type, metric.help);
            previous = metric.name;
        }
        for (std::size_t i = 0; i < snapshot.apps.size(); ++i) {
            out += metric.name + labels[i];
            if (metric.label != nullptr) {
                out += std::string(",") + metric.label + "=\"" + metric.value + "\"";
            }
            out += "} " + std::to_string(metric.get(snapshot.apps[i])) + "\n";
        }
    }
    Header(&out, kMaintenanceInfo, "gauge",
           "1 while the application is paused for maintenance: who paused it (by) and why "
           "(reason).");
    for (std::size_t i = 0; i < snapshot.apps.size(); ++i) {
        const AppStatus& app = snapshot.apps[i];
        if (app.maintenance) {
            out += kMaintenanceInfo + labels[i] + ",by=\"" + EscapeLabel(app.maintenanceBy) +
                   "\",reason=\"" + EscapeLabel(app.maintenanceReason) + "\"} 1\n";
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
        const std::string where = "line " + std::to_string(lineNumber);
        Sample sample;
        if (!ParseSample(line, &sample)) {
            *error = where + " is not a metric sample";
            return false;
        }
        const std::string badValue = where + ": the value of " + sample.name + " is out of range";
        uint64_t value = 0;
        if (sample.name == kBuildInfo) {
            if (!WholeValue(sample.value, kFlag, &value)) {
                *error = badValue;
                return false;
            }
            parsed.version = sample.labels["version"];
            continue;
        }
        if (sample.name == kProcess) {
            if (!WholeValue(sample.value, kFlag, &value) || !ParseWriter(sample, &parsed.writer)) {
                *error = where + ": the process of " + sample.name + " is not a number";
                return false;
            }
            continue;
        }
        if (sample.name == kMaintenanceInfo) {
            int index = 0;
            if (!WholeValue(sample.value, kFlag, &value) ||
                !ParseIndex(sample.labels["index"], &index)) {
                *error = badValue;
                return false;
            }
            apps[index].index = index;
            apps[index].maintenanceBy = sample.labels["by"];
            apps[index].maintenanceReason = sample.labels["reason"];
            continue;
        }
        for (const DaemonMetric& metric : kDaemonMetrics) {
            if (sample.name == metric.name) {
                if (!WholeValue(sample.value, metric.max, &value)) {
                    *error = badValue;
                    return false;
                }
                metric.set(parsed, value);
                sawWriteTime = sawWriteTime || sample.name == kWriteTime;
                break;
            }
        }
        for (const AppMetric& metric : kAppMetrics) {
            if (sample.name != metric.name ||
                (metric.label != nullptr && sample.labels[metric.label] != metric.value)) {
                continue;
            }
            int index = 0;
            if (!ParseIndex(sample.labels["index"], &index)) {
                *error = where + ": the index label is not a number from 0 to " +
                         std::to_string(kMaxApplications - 1);
                return false;
            }
            if (!WholeValue(sample.value, metric.max, &value)) {
                *error = badValue;
                return false;
            }
            AppStatus& app = apps[index];
            app.index = index;
            app.name = sample.labels["app"];
            app.endpoint = sample.labels["endpoint"];
            metric.set(app, value);
            break;
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
