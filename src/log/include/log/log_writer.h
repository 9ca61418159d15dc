// The daily log files: where they are, and writing one line to them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The day's file as the writer reaches it: the platform's exclusive append
// file in production, a fake in tests. One call opens, writes and closes it.
class LogFile {
  public:
    virtual ~LogFile() = default;
    // False when the file cannot be opened or another writer holds it.
    virtual bool Open(const std::string& path) = 0;
    // Returns how many bytes were taken.
    virtual std::size_t Write(const char* data, std::size_t size) = 0;
    // False when what was written did not all reach the file (a full disk).
    virtual bool Close() = 0;
};

class LogWriter {
  public:
    using Clock = std::function<int64_t()>;              // seconds since the epoch
    using DebugSink = std::function<void(const char*)>;  // the debugger-output channel

    // `moduleFolder` is the executable's folder with its trailing separator;
    // the log folder "ZELK_LOG" is made inside it. `file` defaults to the
    // platform's exclusive append file.
    LogWriter(std::string moduleFolder, Clock clock, DebugSink debugSink,
              std::unique_ptr<LogFile> file = nullptr);

    // Appends one composed line to the file of today's date, then deletes the
    // file dated exactly seven days back, unless the clock cannot be trusted
    // for it: a file this writer wrote to within the last seven days (by the
    // monotonic clock) is never removed, and after the wall clock jumped
    // (it moved more than five minutes apart from the monotonic clock
    // between two lines) nothing is removed until it has kept step for an
    // hour. A clock set a week ahead for a moment thus costs no day's log. A line that does not
    // wholly reach the file, at the write or at the close, is reported to the debug sink, and the
    // next line of that file starts on a line of its own after the part that did. Calls in one
    // process are serialised so that none of them loses its line to another; a file held by another
    // process still makes the call lose its line.
    void Write(int level, int line, const char* function, int32_t code, const std::string& message);

    // Full path of the log file for the local date of `seconds`.
    std::string FilePathFor(int64_t seconds) const;

    // Replaces the folder, clock and sink, e.g. to point the process-wide
    // writer at a test folder.
    void Reset(std::string moduleFolder, Clock clock, DebugSink debugSink);

    // Replaces the monotonic clock (seconds from any start; the platform's
    // by default).
    void SetMonotonicClock(Clock monotonic);

  private:
    // A file this writer wrote to, and when by the monotonic clock.
    struct Written {
        std::string path;
        int64_t monotonic = 0;
    };

    std::string LogFolder() const;
    // Notes the times of a write; whether the wall clock may decide removals.
    bool ClockTrusted(int64_t wall, int64_t monotonic);
    void NoteWritten(const std::string& path, int64_t monotonic);
    bool WrittenRecently(const std::string& path, int64_t monotonic) const;

    std::mutex mutex_;
    std::string moduleFolder_;
    Clock clock_;
    DebugSink debugSink_;
    std::unique_ptr<LogFile> file_;
    std::string cutPath_;  // the file whose last line may have been cut short
    Clock monotonic_;
    // The wall and monotonic times of the last line, and since when the two
    // have kept step (INT64_MIN: since the start).
    int64_t lastWall_ = 0;
    int64_t lastMonotonic_ = 0;
    bool hasLast_ = false;
    int64_t steadySince_ = INT64_MIN;
    // The files written to lately; a day's file a slot, the oldest replaced.
    std::array<Written, 8> written_;
};

// The writer that WriteLog uses: the executable's folder, the real clock and
// the platform's debugger output. Built on first use, so that objects
// constructed before main can log.
LogWriter& ProcessLogWriter();
