// The status writer: one thread of its own that writes the board's snapshot
// into the status folder within a second of a change of state, otherwise
// every kStatusRoutineIntervalSeconds, and a last time at the stop. A folder
// that cannot be written costs one log line per streak of failures (and one
// when writing works again); it never holds up a watchdog.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "daemon/event_log.h"
#include "platform/files.h"
#include "supervision/status_board.h"

// Writes after a change of state are at least this far apart, so that a
// burst of changes costs one write.
constexpr unsigned kStatusMinIntervalMs = 1000;
constexpr unsigned kStatusRoutineIntervalMs =
    static_cast<unsigned>(kStatusRoutineIntervalSeconds) * 1000u;

// Milliseconds until the next write is due, 0 for now. `stateChanged`: a
// change of state not written yet; `sinceLastWriteMs`: since the last write.
unsigned StatusWriteDelay(bool stateChanged, int64_t sinceLastWriteMs);

// The file operations of the writer: the platform's in production.
struct StatusFileOps {
    platform::NewFileResult (*writeNew)(const std::string& path, const std::string& content,
                                        int32_t* error) = platform::WriteNewFile;
    bool (*renameOver)(const std::string& from, const std::string& to,
                       int32_t* error) = platform::RenameOver;
};

// Writes snapshots as zelk.prom into one folder, which it creates when it is
// missing (one level, as the log folder; at once, and again after a failed
// write): each through a new temporary file
// of a fresh name, created exclusively and renamed over the old snapshot, so
// that a link planted in the folder is never followed. The first write
// removes the temporary files earlier runs left behind.
class StatusFileWriter {
  public:
    explicit StatusFileWriter(const std::string& folder, StatusFileOps ops = StatusFileOps());

    // False when the file could not be written; the first failure of a
    // streak and the first success after one are logged.
    bool Write(const StatusSnapshot& snapshot);
    const std::string& Path() const { return path_; }

  private:
    void MakeFolder();
    bool Replace(const std::string& content, int32_t* error);
    void RemoveStaleTemporaries();

    std::string folder_;  // with its separator
    std::string path_;
    StatusFileOps ops_;
    std::mt19937_64 names_;
    bool cleaned_ = false;
    WriteStreak streak_{"StatusFileWriter::Write", "status snapshot"};
};

// The board and the writer thread of a supervisor whose config.xml enables
// the status.
class StatusService {
  public:
    StatusService(const std::string& folder, int64_t daemonStartTime);
    ~StatusService();
    StatusService(const StatusService&) = delete;
    StatusService& operator=(const StatusService&) = delete;

    StatusBoard& Board() { return board_; }
    // Starts the writer thread; false when no thread could be started (the
    // records are kept, nothing is written).
    bool Start();
    // Ends the thread after a last write, which carries the stop time. Safe
    // to call more than once.
    void Stop();

  private:
    void Run();

    StatusBoard board_;
    StatusFileWriter writer_;
    std::thread thread_;
};
