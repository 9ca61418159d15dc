#include "daemon/status_board.h"

#include <chrono>

#include "daemon/status_state.h"
#include "markup/encodings.h"

namespace {

// `ansi` (text of config.xml, in the ANSI code page) as UTF-8, which the
// collectors' parser demands of every label value. Bytes the code page does
// not define become replacement characters; without any conversion at all,
// every byte above ASCII becomes "?".
std::string Utf8Label(const std::string& ansi) {
    if (ansi.empty()) {
        return ansi;
    }
    EncodingConverter converter("", ansi.data(), static_cast<int32_t>(ansi.size()));
    const int32_t size = converter.ConvertText(nullptr, "UTF-8");
    if (size > 0) {
        std::string out(static_cast<std::size_t>(size), '\0');
        if (converter.ConvertText(&out[0], nullptr) == size) {
            return out;
        }
    }
    std::string ascii = ansi;
    for (char& c : ascii) {
        c = static_cast<unsigned char>(c) < 0x80 ? c : '?';
    }
    return ascii;
}

// What makes a change worth writing at once: the state, a pending install,
// and every termination and launch.
struct Visible {
    AppState state;
    bool installPending;
    uint64_t terminations;
    uint64_t launches;

    explicit Visible(const AppStatus& app)
        : state(StateOf(app)),
          installPending(app.installPending),
          terminations(app.terminations),
          launches(app.launches) {}
    bool operator==(const Visible& other) const {
        return state == other.state && installPending == other.installPending &&
               terminations == other.terminations && launches == other.launches;
    }
};

}  // namespace

StatusBoard::StatusBoard(int64_t daemonStartTime, WallClock clock)
    : clock_(clock), daemonStartTime_(daemonStartTime) {}

void StatusBoard::SetConfig(bool loaded, int32_t pitfalls) {
    std::lock_guard<std::mutex> lock(mutex_);
    configLoaded_ = loaded;
    configPitfalls_ = pitfalls;
}

int StatusBoard::Add(const AppConfig& app, int index) {
    Row row;
    row.used = true;
    row.handedTo = &app;
    row.record.status.name = Utf8Label(app.name);
    row.record.status.index = index;
    row.record.status.endpoint = Utf8Label(app.ip + ":" + std::to_string(app.port));
    std::lock_guard<std::mutex> lock(mutex_);
    rows_[static_cast<std::size_t>(index)] = row;
    changed_ = true;
    wake_.notify_all();
    return index;
}

int StatusBoard::IndexOf(const AppConfig* app) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].used && rows_[i].handedTo == app) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void StatusBoard::NotWatched(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Row& row = rows_[static_cast<std::size_t>(index)];
    row.handedTo = nullptr;
    row.record.status.notWatched = true;
    changed_ = true;
    wake_.notify_all();
}

void StatusBoard::Apply(int index, const WatchdogEvent& event) {
    const int64_t now = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    AppRecord& record = rows_[static_cast<std::size_t>(index)].record;
    const Visible before(record.status);
    ApplyEvent(record, event, now);
    if (!(Visible(record.status) == before)) {
        changed_ = true;
        wake_.notify_all();
    }
}

StatusSnapshot StatusBoard::Snapshot() const {
    StatusSnapshot snapshot;
    snapshot.version = ZELK_VERSION;
    snapshot.daemonStartTime = daemonStartTime_;
    snapshot.writeTime = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    snapshot.daemonStopTime = stopTime_;
    snapshot.configLoaded = configLoaded_;
    snapshot.configPitfalls = configPitfalls_;
    for (const Row& row : rows_) {
        if (row.used) {
            snapshot.apps.push_back(StatusAt(row.record, snapshot.writeTime));
        }
    }
    snapshot.appsConfigured = static_cast<int>(snapshot.apps.size());
    return snapshot;
}

bool StatusBoard::Wait(unsigned milliseconds, bool changesWake) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                   [this, changesWake] { return (changesWake && changed_) || stop_; });
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

void StatusBoard::RequestStop() {
    const int64_t now = clock_();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stop_) {
        stopTime_ = now;
    }
    stop_ = true;
    wake_.notify_all();
}

bool StatusBoard::StopRequested() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_;
}
