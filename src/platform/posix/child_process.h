// What the two launchers of other programs (the supervised application and
// the shell command) share: how many descriptors a child may have to close,
// the detached start of a child process and its signal state.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

// Highest descriptor number worth closing in a child process; read before
// the fork, since getrlimit is not among the calls allowed after it.
inline int DescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > 65536) {
        return 65536;
    }
    return static_cast<int>(limit.rlim_cur);
}

// Runs in a child between fork and exec (only async-signal-safe calls): a
// session of its own, so no terminal or signal of the daemon's reaches it,
// and standard streams on /dev/null.
inline void DetachIntoOwnSession() {
    setsid();
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) {
            close(null);
        }
    }
}

// Runs in a child between fork and exec (only async-signal-safe calls): the
// signal state a new program expects, not the daemon's. The daemon ignores
// SIGPIPE and, as a service, blocks its control signals in every thread; a
// launched program or a command that inherited either would survive a
// `kill` of its own scripts or die unseen on a broken pipe.
inline void RestoreDefaultSignals() {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(SIGPIPE, &standard, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace platform
