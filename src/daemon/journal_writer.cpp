#include "daemon/journal_writer.h"

#include <system_error>
#include <utility>
#include <vector>

#include "daemon/event_log.h"
#include "journal/civil_date.h"
#include "journal/file_name.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/folder_probe.h"
#include "platform/system.h"
#include "supervision/utf8_text.h"
#include "zelk/version.h"

namespace {

journal::Time TimeOf(int64_t ms) {
    journal::Time time;
    time.ms = ms;
    const int64_t seconds = journal::FloorDiv(ms, journal::kMsPerSecond);
    std::tm local{};
    if (platform::LocalTime(seconds, &local)) {
        time.offsetMinutes = journal::UtcOffsetMinutes(seconds, local);
    }
    return time;
}

}  // namespace

JournalService::JournalService(const JournalSettings& settings)
    : settings_(settings), folder_(NormaliseFolder(settings.folder, platform::kPathSeparator)) {}

JournalService::~JournalService() {
    Stop();
}

bool JournalService::Start() {
    // One level, as the log folder is made.
    platform::MakeFolder(settings_.folder);
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void JournalService::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void JournalService::OnAppEvent(const AppIdentity& app, const WatchdogEvent& event,
                                int64_t timeMs) {
    const journal::Time time = TimeOf(timeMs);
    std::string line = JournalLine(app, event, time, AnsiToUtf8);
    if (!line.empty()) {
        Enqueue(time, std::move(line));
    }
}

void JournalService::OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) {
    const journal::Time time = TimeOf(timeMs);
    std::string line = JournalLine(event, time, AnsiToUtf8);
    if (!line.empty()) {
        Enqueue(time, std::move(line));
    }
}

void JournalService::Enqueue(const journal::Time& time, std::string text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= kJournalQueueLines) {
            ++dropped_;
            return;
        }
        queue_.push_back(Line{time, std::move(text)});
    }
    wake_.notify_one();
}

void JournalService::Run() {
    for (;;) {
        std::deque<Line> lines;
        std::size_t dropped = 0;
        bool stopping = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            lines.swap(queue_);
            std::swap(dropped, dropped_);
            stopping = stop_;
        }
        if (dropped > 0) {
            supervisor_log::JournalLinesDropped(folder_, dropped);
        }
        if (!lines.empty()) {
            RemoveOldFiles(journal::LocalDay(lines.back().time));
            Write(lines);
        }
        if (stopping) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty()) {
                return;
            }
        }
    }
}

void JournalService::Write(const std::deque<Line>& lines) {
    // Consecutive lines of one day go out together, each of them whole.
    std::size_t begin = 0;
    while (begin < lines.size()) {
        const int64_t day = journal::LocalDay(lines[begin].time);
        const std::string name = journal::FileNameOfDay(day);
        std::string bytes;
        std::size_t end = begin;
        while (end < lines.size() && journal::LocalDay(lines[end].time) == day) {
            bytes += lines[end].text;
            ++end;
        }
        const std::string path = folder_ + name;
        if (path != checkedPath_ && !platform::EndsWithLineEnd(path)) {
            // A line torn by a power cut is left alone: the next one starts
            // on a line of its own, and readers skip the torn one.
            bytes.insert(0, 1, '\n');
        }
        int32_t error = 0;
        bool written = platform::AppendToFile(path, bytes, &error);
        if (!written && !platform::FolderExists(folder_)) {
            // The folder went away while the daemon ran: made again, as at
            // the start.
            platform::MakeFolder(settings_.folder);
            written = platform::AppendToFile(path, bytes, &error);
        }
        streak_.Note(written, path, error);
        // After a failure part of the lines may be in the file: the next
        // write looks at its end again.
        checkedPath_ = written ? path : std::string();
        begin = end;
    }
}

void JournalService::RemoveOldFiles(int64_t today) {
    if (today == lastPurgeDay_) {
        return;
    }
    lastPurgeDay_ = today;
    for (const std::string& name : platform::ListFolder(folder_, "jsonl")) {
        int64_t day = 0;
        if (journal::DayOfFileName(name, &day) && day <= today - settings_.days) {
            platform::RemoveFile(folder_ + name);
        }
    }
}
