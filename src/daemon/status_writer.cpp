#include "daemon/status_writer.h"

#include <exception>
#include <system_error>

#include "daemon/event_log.h"
#include "platform/directory.h"
#include "platform/host_name.h"
#include "platform/process_identity.h"
#include "platform/system.h"
#include "supervision/config_walk.h"

namespace {

// Fresh names for the temporary file: one taken by anything else is passed
// over for the next; so many taken in a row is someone planting them.
constexpr int kTempNameAttempts = 8;

// The seed of the temporary names: unknown to anyone who would plant them.
// Without a source of randomness the clock will do: the exclusive creation
// keeps a planted name harmless all the same.
uint64_t RandomSeed() {
    try {
        std::random_device device;
        return (static_cast<uint64_t>(device()) << 32) ^ device();
    } catch (const std::exception&) {
        return static_cast<uint64_t>(platform::MonotonicMs());
    }
}

// "-" and 16 hexadecimal digits.
std::string HexSuffix(uint64_t value) {
    std::string text = "-0000000000000000";
    for (std::size_t i = text.size() - 1; value != 0; --i, value >>= 4) {
        text[i] = "0123456789abcdef"[value & 15];
    }
    return text;
}

}  // namespace

unsigned StatusWriteDelay(bool stateChanged, int64_t sinceLastWriteMs) {
    const int64_t due = stateChanged ? kStatusMinIntervalMs : kStatusRoutineIntervalMs;
    return sinceLastWriteMs >= due ? 0u : static_cast<unsigned>(due - sinceLastWriteMs);
}

StatusFileWriter::StatusFileWriter(const std::string& folder, StatusFileOps ops)
    : folder_(NormaliseFolder(folder, platform::kPathSeparator)),
      path_(folder_ + kStatusFileName),
      ops_(ops),
      names_(RandomSeed()) {
    MakeFolder();
}

void StatusFileWriter::MakeFolder() {
    // Without its separator, which not every platform takes here.
    platform::MakeFolder(folder_.empty() ? folder_ : folder_.substr(0, folder_.size() - 1));
}

bool StatusFileWriter::Write(const StatusSnapshot& snapshot) {
    if (streak_.Failing()) {
        MakeFolder();  // it may have gone since
    }
    if (!cleaned_) {
        RemoveStaleTemporaries();
        cleaned_ = true;
    }
    int32_t error = 0;
    const bool written = Replace(FormatStatus(snapshot), &error);
    streak_.Note(written, path_, error);
    return written;
}

bool StatusFileWriter::Replace(const std::string& content, int32_t* error) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const std::string temp = folder_ + kStatusTempPrefix + HexSuffix(names_());
        switch (ops_.writeNew(temp, content, error)) {
            case platform::NewFileResult::kNameTaken:
                continue;
            case platform::NewFileResult::kFailed:
                return false;
            case platform::NewFileResult::kWritten:
                break;
        }
        if (!ops_.renameOver(temp, path_, error)) {
            platform::RemoveFile(temp);
            return false;
        }
        return true;
    }
    return false;
}

void StatusFileWriter::RemoveStaleTemporaries() {
    const std::string prefix = kStatusTempPrefix;
    for (const std::string& name : platform::ListFolder(folder_, "")) {
        if (name.compare(0, prefix.size(), prefix) == 0) {
            // A link goes itself; what it points to stays.
            platform::RemoveFile(folder_ + name);
        }
    }
}

StatusService::StatusService(const std::string& folder, int64_t daemonStartTime)
    : board_(daemonStartTime, platform::CurrentTime), writer_(folder) {
    const platform::ProcessIdentity own = platform::OwnProcess();
    board_.SetWriter(WriterProcess{platform::HostName(), own.id, own.start});
}

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
    bool stateChanged = true;
    int64_t lastWrite = platform::MonotonicMs() - kStatusRoutineIntervalMs;
    while (!board_.StopRequested()) {
        const unsigned delay = StatusWriteDelay(stateChanged, platform::MonotonicMs() - lastWrite);
        if (delay == 0) {
            writer_.Write(board_.Snapshot());
            lastWrite = platform::MonotonicMs();
            stateChanged = false;
            continue;
        }
        // Once a change waits for its turn, further changes need not wake us.
        if (board_.Wait(delay, !stateChanged)) {
            stateChanged = true;
        }
    }
    writer_.Write(board_.Snapshot());
}
