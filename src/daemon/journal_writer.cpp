#include "daemon/journal_writer.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "daemon/event_log.h"
#include "journal/app_state.h"
#include "journal/civil_date.h"
#include "journal/file_name.h"
#include "journal/line.h"
#include "journal/retention.h"
#include "journal/time_format.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/folder_probe.h"
#include "platform/system.h"
#include "supervision/journal_line.h"
#include "supervision/utf8_text.h"

namespace {

constexpr int64_t kMsPerDay = 86400 * journal::kMsPerSecond;
// The longest wait of the writer between two looks at the clock: midnight
// is seen within it, whatever the clock did meanwhile.
constexpr int64_t kLookMs = 1000;
// The files written to lately, at most: a few days' worth.
constexpr std::size_t kWrittenKept = 64;
constexpr int64_t kNoDay = INT64_MIN;

int64_t PlatformWallMs() {
    return platform::CurrentTime() * journal::kMsPerSecond;
}

}  // namespace

journal::Time LocalJournalTime(int64_t ms) {
    journal::Time time;
    time.ms = ms;
    const int64_t seconds = journal::FloorDiv(ms, journal::kMsPerSecond);
    std::tm local{};
    if (platform::LocalTime(seconds, &local)) {
        time.offsetMinutes = journal::UtcOffsetMinutes(seconds, local);
    }
    return time;
}

namespace {

const auto& TimeOf = LocalJournalTime;

// The first moment of the local day `day`.
journal::Time MidnightOf(int64_t day, const journal::Time& near) {
    journal::Time midnight = TimeOf(day * kMsPerDay - near.offsetMinutes * 60000LL);
    // Once more with the offset of that moment, for a day after a change of it.
    return TimeOf(day * kMsPerDay - midnight.offsetMinutes * 60000LL);
}

// One application as the day's states tell it.
struct Tracked {
    bool known = false;
    journal::AppState state = journal::AppState::kNone;
    int64_t sinceMs = 0;  // 0: unknown
    std::string app;
    std::string endpoint;
};

}  // namespace

JournalSeams PlatformJournalSeams() {
    return JournalSeams{PlatformWallMs, platform::MonotonicMs, platform::AppendToFile,
                        kJournalStopLimitMs};
}

// The writer thread's state. The queue and the flags are under `mutex`; the
// rest is the thread's own.
struct JournalService::Writer {
    struct Item {
        journal::Event event;
        bool write = true;  // false: only an application's identity, for the states
    };
    struct Line {
        int64_t day;
        std::string text;
    };

    Writer(const JournalSettings& given, JournalSeams seams)
        : settings(given),
          folder(NormaliseFolder(given.folder, platform::kPathSeparator)),
          seams(seams) {}

    void Run();
    void Take(const Item& item, std::vector<Line>* lines);
    void Track(const journal::Event& event);
    void WriteStates(const journal::Time& at, std::vector<Line>* lines);
    void Write(const std::vector<Line>& lines);
    void RemoveOldFiles(int64_t today);
    int64_t WaitMs() const;

    const JournalSettings settings;
    const std::string folder;  // with its separator
    const JournalSeams seams;

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<Item> queue;
    std::size_t dropped = 0;
    bool stop = false;
    bool abandoned = false;  // the stop gave up on the thread: write no more
    bool finished = false;

    WriteStreak streak{"JournalService::Write", "event journal"};
    std::string checkedPath;  // the file whose end was looked at and appended to
    int64_t lastPurgeDay = kNoDay;
    int64_t lastDay = kNoDay;        // the day whose states the file has, by the lines
    int64_t steadySinceMs = kNoDay;  // the steady clock at the last jump
    bool running = false;            // between the daemon's start and stop lines
    int64_t startMs = 0;
    std::array<Tracked, kMaxApplications> apps;
    std::map<std::string, int64_t> written;  // file name: steady time of its last write
};

JournalService::JournalService(const JournalSettings& settings, JournalSeams seams)
    : writer_(std::make_shared<Writer>(settings, seams)) {}

JournalService::~JournalService() {
    Stop();
}

bool JournalService::Start() {
    // One level, as the log folder is made.
    platform::MakeFolder(writer_->settings.folder);
    try {
        std::shared_ptr<Writer> writer = writer_;
        thread_ = std::thread([writer] { writer->Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void JournalService::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    Writer& w = *writer_;
    std::unique_lock<std::mutex> lock(w.mutex);
    w.stop = true;
    w.wake.notify_all();
    if (w.done.wait_for(lock, std::chrono::milliseconds(w.seams.stopLimitMs),
                        [&w] { return w.finished; })) {
        lock.unlock();
        thread_.join();
        return;
    }
    // A disk that does not answer: what is still queued is given up, and
    // said; the thread keeps the writer's state until it returns.
    w.abandoned = true;
    const std::size_t lost = w.queue.size();
    w.queue.clear();
    lock.unlock();
    supervisor_log::JournalStopGivenUp(w.folder, lost, w.seams.stopLimitMs);
    thread_.detach();
}

void JournalService::OnAppEvent(const AppIdentity& app, const WatchdogEvent& event,
                                int64_t timeMs) {
    const journal::Time time = TimeOf(timeMs);
    Writer::Item item;
    const bool line = JournalEventOf(app, event, time, AnsiToUtf8, &item.event);
    std::atomic<bool>& known = known_[static_cast<std::size_t>(app.index)];
    if (!line && known.load()) {
        return;
    }
    if (!line) {
        // The first event of a watchdog that makes no line yet: its
        // identity, so that the day's states name it.
        item.event.kind = journal::EventKind::kState;
        item.event.state = journal::StateName(journal::AppState::kConnecting);
        item.event.time = time;
        item.event.app = AnsiToUtf8(app.name);
        item.event.index = app.index;
        item.event.endpoint = AnsiToUtf8(app.endpoint);
        item.write = false;
    }
    known.store(true);
    std::lock_guard<std::mutex> lock(writer_->mutex);
    if (writer_->queue.size() >= kJournalQueueLines) {
        writer_->dropped += item.write ? 1 : 0;
        return;
    }
    writer_->queue.push_back(std::move(item));
    writer_->wake.notify_one();
}

void JournalService::OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) {
    Writer::Item item;
    if (!JournalEventOf(event, TimeOf(timeMs), AnsiToUtf8, &item.event)) {
        return;
    }
    if (item.event.kind == journal::EventKind::kDaemonStarted) {
        for (std::atomic<bool>& known : known_) {
            known.store(false);
        }
    }
    std::lock_guard<std::mutex> lock(writer_->mutex);
    if (writer_->queue.size() >= kJournalQueueLines) {
        ++writer_->dropped;
        return;
    }
    writer_->queue.push_back(std::move(item));
    writer_->wake.notify_one();
}

int64_t JournalService::Writer::WaitMs() const {
    const journal::Time now = TimeOf(seams.wallMs());
    const int64_t untilMidnight = MidnightOf(journal::LocalDay(now) + 1, now).ms - now.ms;
    return untilMidnight < 1 ? 1 : (untilMidnight < kLookMs ? untilMidnight : kLookMs);
}

void JournalService::Writer::Run() {
    for (;;) {
        std::deque<Item> items;
        std::size_t lost = 0;
        bool stopping = false;
        const int64_t waitMs = WaitMs();
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(waitMs),
                          [this] { return stop || !queue.empty(); });
            if (abandoned) {
                break;
            }
            items.swap(queue);
            std::swap(lost, dropped);
            stopping = stop;
        }
        if (lost > 0) {
            supervisor_log::JournalLinesDropped(folder, lost);
        }
        std::vector<Line> lines;
        for (const Item& item : items) {
            Take(item, &lines);
        }
        // Midnight on a quiet station: the new day's file begins with the
        // states all the same.
        const journal::Time now = TimeOf(seams.wallMs());
        if (running && lastDay != kNoDay && journal::LocalDay(now) > lastDay) {
            lastDay = journal::LocalDay(now);
            WriteStates(MidnightOf(lastDay, now), &lines);
        }
        Write(lines);
        RemoveOldFiles(journal::LocalDay(now));
        if (stopping) {
            std::lock_guard<std::mutex> lock(mutex);
            if (queue.empty() || abandoned) {
                break;
            }
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    done.notify_all();
}

void JournalService::Writer::Take(const Item& item, std::vector<Line>* lines) {
    const journal::Event& event = item.event;
    const int64_t day = journal::LocalDay(event.time);
    if (event.kind == journal::EventKind::kClockJump) {
        // The days follow the clock from here; removals wait for it to
        // keep step.
        steadySinceMs = seams.monotonicMs();
        lastDay = day;
        supervisor_log::JournalClockJumped(folder, event.from, event.to);
    } else if (running && lastDay != kNoDay && day > lastDay) {
        // The first line of a new day: the states come first.
        WriteStates(MidnightOf(day, event.time), lines);
    }
    if (lastDay == kNoDay || day > lastDay) {
        lastDay = day;
    }
    Track(event);
    if (item.write) {
        lines->push_back(Line{day, journal::FormatLine(event)});
    }
}

void JournalService::Writer::Track(const journal::Event& event) {
    if (event.kind == journal::EventKind::kDaemonStarted ||
        event.kind == journal::EventKind::kDaemonStopped) {
        running = event.kind == journal::EventKind::kDaemonStarted;
        startMs = event.time.ms;
        apps.fill(Tracked{});
        return;
    }
    if (!journal::IsAppKind(event.kind) || event.index < 0 || event.index >= kMaxApplications) {
        return;
    }
    Tracked& app = apps[static_cast<std::size_t>(event.index)];
    if (!app.known) {
        // Connecting since the start until its first line says otherwise.
        app.known = true;
        app.state = journal::AppState::kConnecting;
        app.sinceMs = startMs;
    }
    app.app = event.app;
    app.endpoint = event.endpoint;
    const journal::AppState next = journal::NextState(app.state, event);
    if (next != app.state) {
        app.state = next;
        app.sinceMs = event.time.ms;
    }
}

void JournalService::Writer::WriteStates(const journal::Time& at, std::vector<Line>* lines) {
    for (std::size_t i = 0; i < apps.size(); ++i) {
        const Tracked& app = apps[i];
        if (!app.known || app.state == journal::AppState::kNone) {
            continue;
        }
        journal::Event line;
        line.kind = journal::EventKind::kState;
        line.time = at;
        line.app = app.app;
        line.index = static_cast<int>(i);
        line.endpoint = app.endpoint;
        line.state = journal::StateName(app.state);
        if (app.sinceMs != 0) {
            line.since = journal::FormatRfc3339(journal::Time{app.sinceMs, at.offsetMinutes});
        }
        lines->push_back(Line{journal::LocalDay(at), journal::FormatLine(line)});
    }
}

void JournalService::Writer::Write(const std::vector<Line>& lines) {
    // Consecutive lines of one day go out together, each of them whole.
    std::size_t begin = 0;
    while (begin < lines.size()) {
        const int64_t day = lines[begin].day;
        const std::string name = journal::FileNameOfDay(day);
        std::string bytes;
        std::size_t end = begin;
        while (end < lines.size() && lines[end].day == day) {
            bytes += lines[end].text;
            ++end;
        }
        const std::string path = folder + name;
        if (path != checkedPath && !platform::EndsWithLineEnd(path)) {
            // A line torn by a power cut is left alone: the next one starts
            // on a line of its own, and readers skip the torn one.
            bytes.insert(0, 1, '\n');
        }
        int32_t error = 0;
        bool appended = seams.append(path, bytes, &error);
        if (!appended && !platform::FolderExists(folder)) {
            // The folder went away while the daemon ran: made again, as at
            // the start.
            platform::MakeFolder(settings.folder);
            appended = seams.append(path, bytes, &error);
        }
        streak.Note(appended, path, error);
        // After a failure part of the lines may be in the file: the next
        // write looks at its end again.
        checkedPath = appended ? path : std::string();
        if (written.size() >= kWrittenKept && written.count(name) == 0) {
            written.erase(written.begin());  // the oldest day's name sorts first
        }
        written[name] = seams.monotonicMs();
        begin = end;
    }
}

void JournalService::Writer::RemoveOldFiles(int64_t today) {
    const int64_t steady = seams.monotonicMs();
    if (today == lastPurgeDay ||
        (steadySinceMs != kNoDay && steady - steadySinceMs < kJournalSteadyMs)) {
        return;
    }
    lastPurgeDay = today;
    std::map<int64_t, std::string> files;
    std::vector<int64_t> days;
    for (const std::string& name : platform::ListFolder(folder, "jsonl")) {
        int64_t day = 0;
        if (journal::DayOfFileName(name, &day)) {
            files[day] = name;
            days.push_back(day);
        }
    }
    for (const int64_t day : journal::DaysToRemove(days, today, settings.days)) {
        const std::string& name = files[day];
        // A file this writer wrote to within the days to keep stays,
        // whatever the clock says of its day.
        const auto wrote = written.find(name);
        if (wrote != written.end() && steady - wrote->second < settings.days * kMsPerDay) {
            continue;
        }
        platform::RemoveFile(folder + name);
    }
}
