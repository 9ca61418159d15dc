#include "platform/shell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "posix/child_process.h"

namespace platform {

namespace {

// Runs in the grandchild, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecShell(const char* command, int descriptorLimit) {
    DetachIntoOwnSession();
    RestoreDefaultSignals();
    for (int fd = 3; fd < descriptorLimit; ++fd) {
        close(fd);
    }
    execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    _exit(127);
}

}  // namespace

bool RunShellCommand(const std::string& command, int32_t* code) {
    *code = 0;
    const int descriptorLimit = DescriptorLimit();
    const char* text = command.c_str();
    // Fork twice: the middle process ends at once and is reaped here, so the
    // command becomes a child of the system's reaper and this process never
    // waits for it, nor leaves it a zombie.
    pid_t middle = fork();
    if (middle < 0) {
        *code = errno;
        return false;
    }
    if (middle == 0) {
        pid_t command_process = fork();
        if (command_process == 0) {
            ExecShell(text, descriptorLimit);
        }
        _exit(command_process < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
