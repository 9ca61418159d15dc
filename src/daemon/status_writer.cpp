#include "daemon/status_writer.h"

#include <limits>
#include <system_error>

#include "daemon/config_walk.h"
#include "daemon/event_log.h"
#include "platform/files.h"
#include "platform/system.h"

unsigned StatusWriteDelay(bool changed, int64_t sinceLastWriteMs) {
    const int64_t due = changed ? kStatusMinIntervalMs : kStatusMaxIntervalMs;
    return sinceLastWriteMs >= due ? 0u : static_cast<unsigned>(due - sinceLastWriteMs);
}

StatusFileWriter::StatusFileWriter(const std::string& folder, ReplaceFunction replace)
    : replace_(replace != nullptr ? replace : platform::WriteFileReplacing) {
    const std::string base = NormaliseFolder(folder);
    path_ = base + kStatusFileName;
    tempPath_ = base + kStatusTempFileName;
}

bool StatusFileWriter::Write(const StatusSnapshot& snapshot) {
    int32_t error = 0;
    const bool written = replace_(path_, tempPath_, FormatStatus(snapshot), &error);
    if (!written && !failing_) {
        supervisor_log::StatusNotWritten(path_, error);
    } else if (written && failing_) {
        supervisor_log::StatusWrittenAgain(path_);
    }
    failing_ = !written;
    return written;
}

StatusService::StatusService(const std::string& folder, int64_t daemonStartTime)
    : board_(daemonStartTime, platform::CurrentTime), writer_(folder) {}

StatusService::~StatusService() {
    Stop();
}

bool StatusService::Start() {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void StatusService::Stop() {
    board_.RequestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void StatusService::Run() {
    // The first snapshot goes out at once.
    bool changed = true;
    int64_t lastWrite = platform::MonotonicMs() - kStatusMaxIntervalMs;
    while (!board_.StopRequested()) {
        const unsigned delay = StatusWriteDelay(changed, platform::MonotonicMs() - lastWrite);
        if (delay == 0) {
            writer_.Write(board_.Snapshot());
            lastWrite = platform::MonotonicMs();
            changed = false;
            continue;
        }
        // Once a change waits for its turn, further changes need not wake us.
        if (board_.Wait(delay, !changed)) {
            changed = true;
        }
    }
    writer_.Write(board_.Snapshot());
}
