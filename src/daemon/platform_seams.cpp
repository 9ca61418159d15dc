#include "daemon/platform_seams.h"

#include "daemon/daemon.h"
#include "daemon/file_checks.h"
#include "platform/shell.h"
#include "platform/system.h"

bool PlatformConnection::Open(const Ipv4SocketAddress& address, int32_t* error) {
    const bool created = socket_.Create();
    if (!created) {
        *error = platform::LastSocketError();
    }
    // The non-blocking mode and the connect are issued on a socket that could
    // not be created too; they fail unnoticed, and so does every wait.
    socket_.SetNonBlocking();
    socket_.Connect(address.family, address.port, address.address);
    return created;
}

ConnectionWait PlatformConnection::Wait(unsigned milliseconds) {
    switch (socket_.WaitReadable(milliseconds)) {
        case platform::WaitOutcome::kReadable:
            return ConnectionWait::kReadable;
        case platform::WaitOutcome::kTimedOut:
            return ConnectionWait::kTimedOut;
        case platform::WaitOutcome::kConnectFailed:
            return ConnectionWait::kConnectFailed;
        case platform::WaitOutcome::kFailed:
            break;
    }
    return ConnectionWait::kFailed;
}

int PlatformConnection::Read(char* buffer, int capacity) {
    return socket_.Receive(buffer, capacity);
}

void PlatformConnection::Close() {
    socket_.Close();
}

int32_t PlatformConnection::LastError() const {
    return platform::LastSocketError();
}

int SupervisorProcesses::CloseExe(const std::string& name) {
    return owner_.CloseExe(name);
}

int SupervisorProcesses::OpenExe(const std::string& path) {
    return owner_.OpenExe(path);
}

void DirectoryFileCounter::CountFiles(const std::string& folder, const std::string& extension,
                                      FileList& list, const std::string& key) {
    CountMatchingFiles(folder, extension, list, key);
}

void PlatformShellRunner::Run(const std::string& command) {
    platform::RunShellCommand(command);
}

int64_t PlatformClock::NowMs() {
    return platform::MonotonicMs();
}

void PlatformClock::SleepMs(unsigned milliseconds) {
    platform::SleepMs(milliseconds);
}
