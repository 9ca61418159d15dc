#include "log/log_writer.h"

#include <cstdarg>
#include <utility>

#include "log/log.h"
#include "log/log_line.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {
constexpr int64_t kPurgeAgeSeconds = 604800;  // seven days

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
      file_(file ? std::move(file) : std::make_unique<PlatformLogFile>()) {}

void LogWriter::Reset(std::string moduleFolder, Clock clock, DebugSink debugSink) {
    std::lock_guard<std::mutex> lock(mutex_);
    moduleFolder_ = std::move(moduleFolder);
    clock_ = std::move(clock);
    debugSink_ = std::move(debugSink);
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
    const std::string path = FilePathFor(clock_());
    if (file_->Open(path)) {
        std::tm now{};
        platform::LocalTime(clock_(), &now);
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
    } else {
        debugSink_("can't not open log file");
    }

    // Only the one file dated exactly seven days back goes; older ones stay.
    std::string old = FilePathFor(clock_() - kPurgeAgeSeconds);
    platform::MakeFolder(LogFolder());
    if (platform::PathExists(old)) {
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
