#include "log/log_writer.h"

#include <cstdarg>
#include <utility>

#include "log/log.h"
#include "log/log_line.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {
constexpr int64_t kPurgeAgeSeconds = 604800;  // seven days
// Wall and monotonic time may part by this much between two lines before
// it counts as a jump of the wall clock, and after one the wall clock must
// keep step this long before it decides a removal again.
constexpr int64_t kJumpToleranceSeconds = 300;
constexpr int64_t kSteadySeconds = 3600;

int64_t PlatformMonotonicSeconds() {
    return platform::MonotonicMs() / 1000;
}

class PlatformLogFile final : public LogFile {
  public:
    bool Open(const std::string& path) override { return file_.Open(path); }
    std::size_t Write(const char* data, std::size_t size) override {
        return file_.Write(data, size);
    }
    bool Close() override { return file_.Close(); }

  private:
    platform::ExclusiveAppendFile file_;
};
}  // namespace

LogWriter::LogWriter(std::string moduleFolder, Clock clock, DebugSink debugSink,
                     std::unique_ptr<LogFile> file)
    : moduleFolder_(std::move(moduleFolder)),
      clock_(std::move(clock)),
      debugSink_(std::move(debugSink)),
      file_(file ? std::move(file) : std::make_unique<PlatformLogFile>()),
      monotonic_(PlatformMonotonicSeconds) {}

void LogWriter::Reset(std::string moduleFolder, Clock clock, DebugSink debugSink) {
    std::lock_guard<std::mutex> lock(mutex_);
    moduleFolder_ = std::move(moduleFolder);
    clock_ = std::move(clock);
    debugSink_ = std::move(debugSink);
}

void LogWriter::SetMonotonicClock(Clock monotonic) {
    std::lock_guard<std::mutex> lock(mutex_);
    monotonic_ = std::move(monotonic);
}

bool LogWriter::ClockTrusted(int64_t wall, int64_t monotonic) {
    if (hasLast_) {
        const int64_t apart = (wall - lastWall_) - (monotonic - lastMonotonic_);
        if (apart > kJumpToleranceSeconds || apart < -kJumpToleranceSeconds) {
            steadySince_ = monotonic;
        }
    }
    hasLast_ = true;
    lastWall_ = wall;
    lastMonotonic_ = monotonic;
    return steadySince_ == INT64_MIN || monotonic - steadySince_ >= kSteadySeconds;
}

void LogWriter::NoteWritten(const std::string& path, int64_t monotonic) {
    Written* slot = &written_[0];
    for (Written& entry : written_) {
        if (entry.path == path) {
            slot = &entry;
            break;
        }
        if (entry.monotonic < slot->monotonic || entry.path.empty()) {
            slot = &entry;
        }
    }
    slot->path = path;
    slot->monotonic = monotonic;
}

bool LogWriter::WrittenRecently(const std::string& path, int64_t monotonic) const {
    for (const Written& entry : written_) {
        if (!entry.path.empty() && entry.path == path &&
            monotonic - entry.monotonic < kPurgeAgeSeconds) {
            return true;
        }
    }
    return false;
}

std::string LogWriter::LogFolder() const {
    return moduleFolder_ + "ZELK_LOG";
}

std::string LogWriter::FilePathFor(int64_t seconds) const {
    std::tm date{};
    platform::LocalTime(seconds, &date);
    return LogFolder() + platform::kPathSeparator + LogFileName(date);
}

void LogWriter::Write(int level, int line, const char* function, int32_t code,
                      const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);

    // The folder usually exists already; a failed creation shows up as a
    // failed open.
    platform::MakeFolder(LogFolder());
    const int64_t wall = clock_();
    const int64_t monotonic = monotonic_();
    const bool trusted = ClockTrusted(wall, monotonic);
    const std::string path = FilePathFor(wall);
    if (file_->Open(path)) {
        std::tm now{};
        platform::LocalTime(wall, &now);
        std::string composed =
            ComposeLogLine(level, FormatLogTime(now), line, function, code, message);
        if (!composed.empty() && path == cutPath_) {
            // The part of a line cut short stays on its own line.
            composed.insert(0, 1, '\n');
        }
        // A line cut short is as lost as one not written; and where writes
        // are buffered, a full disk shows only when the file is closed.
        const std::size_t taken =
            composed.empty() ? 0 : file_->Write(composed.data(), composed.size());
        const bool written = !composed.empty() && taken == composed.size();
        const bool closed = file_->Close();
        if (!written || !closed) {
            debugSink_("write log errors");
        }
        const bool cut = (taken > 0 && !written) || (written && !closed);
        if (cut) {
            cutPath_ = path;
        } else if (written) {
            cutPath_.clear();
        }
        if (taken > 0) {
            NoteWritten(path, monotonic);
        }
    } else {
        debugSink_("can't not open log file");
    }

    // Only the one file dated exactly seven days back goes; older ones stay.
    if (!trusted) {
        return;
    }
    std::string old = FilePathFor(wall - kPurgeAgeSeconds);
    platform::MakeFolder(LogFolder());
    if (platform::PathExists(old) && !WrittenRecently(old, monotonic)) {
        platform::RemoveFile(old);
    }
}

LogWriter& ProcessLogWriter() {
    static LogWriter writer(platform::FolderOf(platform::ExecutablePath()), platform::CurrentTime,
                            platform::DebugOutput);
    return writer;
}

void WriteLog(int level, int line, const char* function, int32_t code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = FormatLogMessage(format, args);
    va_end(args);
    ProcessLogWriter().Write(level, line, function, code, message);
}
