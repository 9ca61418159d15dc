// The status writer: one thread of its own that writes the board's snapshot
// into the status folder at most once a second after a change, at least
// every 10 seconds, and a last time at the stop. A folder that cannot be
// written costs one log line per streak of failures (and one when writing
// works again); it never holds up a watchdog.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "daemon/status_board.h"

constexpr unsigned kStatusMinIntervalMs = 1000;
constexpr unsigned kStatusMaxIntervalMs = 10000;

// Milliseconds until the next write is due, 0 for now. `changed`: a change
// not written yet; `sinceLastWriteMs`: since the last write.
unsigned StatusWriteDelay(bool changed, int64_t sinceLastWriteMs);

// Writes snapshots as zelk.prom into one folder, through a temporary file
// renamed over the old one.
class StatusFileWriter {
  public:
    using ReplaceFunction = bool (*)(const std::string& path, const std::string& tempPath,
                                     const std::string& content, int32_t* error);
    explicit StatusFileWriter(const std::string& folder, ReplaceFunction replace = nullptr);

    // False when the file could not be written; the first failure of a
    // streak and the first success after one are logged.
    bool Write(const StatusSnapshot& snapshot);
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string tempPath_;
    ReplaceFunction replace_;
    bool failing_ = false;
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
    // Ends the thread after a last write. Safe to call more than once.
    void Stop();

  private:
    void Run();

    StatusBoard board_;
    StatusFileWriter writer_;
    std::thread thread_;
};
