#include "daemon/platform_seams.h"

#include "daemon/process_control.h"
#include "platform/directory.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace {
constexpr char kPictureMark[] = "L001";
}  // namespace

bool PlatformConnection::Open(const Ipv4SocketAddress& address, int32_t* error) {
    if (!socket_.Create()) {
        *error = platform::LastSocketError();
        return false;
    }
    socket_.SetNonBlocking();
    socket_.Connect(address.family, address.port, address.address);
    return true;
}

platform::WaitOutcome PlatformConnection::Wait(unsigned milliseconds) {
    return socket_.WaitReadable(milliseconds);
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

TerminateOutcome SupervisorProcesses::Terminate(const std::string& name) {
    return TerminateProcessesNamed(name);
}

LaunchOutcome SupervisorProcesses::Launch(const std::string& path) {
    return LaunchInUserSession(path);
}

void CountMatchingFiles(std::string folder, std::string extension, FileList& list,
                        std::string key) {
    // An empty folder searches the root, as the Windows pattern "\*.ext" does.
    if (!platform::EndsWithSeparator(folder)) {
        folder += platform::kPathSeparator;
    }
    for (const std::string& name : platform::ListFolder(folder, extension)) {
        if ((key.empty() || name.find(key) != std::string::npos) &&
            name.find(kPictureMark) != std::string::npos) {
            list.push_back(folder + name);
        }
    }
}

void DirectoryFileCounter::CountFiles(const std::string& folder, const std::string& extension,
                                      FileList& list, const std::string& key) {
    CountMatchingFiles(folder, extension, list, key);
}

bool PlatformShellRunner::Run(const std::string& command, int32_t* code) {
    return platform::RunShellCommand(command, code);
}

int64_t PlatformClock::NowMs() {
    return platform::MonotonicMs();
}

void PlatformClock::SleepMs(unsigned milliseconds) {
    platform::SleepMs(milliseconds);
}
