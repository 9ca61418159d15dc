#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "posix/child_process.h"
#include "posix/command_line.h"

extern char** environ;

namespace platform {

struct UserIdentity {
    bool switchUser = false;  // false: run as the daemon's own user, with its environment
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::vector<std::string> environment;  // NAME=value settings replacing the daemon's
};

namespace {

const char kSessionFolder[] = "/run/systemd/sessions/";

// One session as the login manager records it.
struct SessionRecord {
    uint32_t id = 0;
    bool active = false;
    bool graphical = false;
    uid_t uid = 0;
    std::string user;
    std::string display;
    std::string type;
};

bool ParseNumber(const char* text, unsigned long* out) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0') {
        return false;
    }
    *out = value;
    return true;
}

bool ReadSession(const std::string& name, SessionRecord* out) {
    unsigned long id = 0;
    if (!ParseNumber(name.c_str(), &id) || id == 0 || id > UINT32_MAX) {
        return false;
    }
    std::ifstream in(kSessionFolder + name);
    if (!in) {
        return false;
    }
    SessionRecord record;
    record.id = static_cast<uint32_t>(id);
    std::string line;
    while (std::getline(in, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        unsigned long number = 0;
        if (key == "ACTIVE") {
            record.active = value == "1";
        } else if (key == "STATE" && value == "active") {
            record.active = true;
        } else if (key == "TYPE") {
            record.type = value;
            record.graphical = value == "x11" || value == "wayland" || value == "mir";
        } else if (key == "UID" && ParseNumber(value.c_str(), &number)) {
            record.uid = static_cast<uid_t>(number);
        } else if (key == "USER") {
            record.user = value;
        } else if (key == "DISPLAY") {
            record.display = value;
        }
    }
    *out = record;
    return true;
}

// The active graphical sessions, lowest id first.
std::vector<SessionRecord> ActiveGraphicalSessions() {
    std::vector<SessionRecord> sessions;
    DIR* folder = opendir(kSessionFolder);
    if (folder == nullptr) {
        return sessions;
    }
    while (dirent* entry = readdir(folder)) {
        SessionRecord record;
        if (ReadSession(entry->d_name, &record) && record.active && record.graphical) {
            sessions.push_back(record);
        }
    }
    closedir(folder);
    std::sort(sessions.begin(), sessions.end(),
              [](const SessionRecord& a, const SessionRecord& b) { return a.id < b.id; });
    return sessions;
}

void SetVariable(std::vector<std::string>* environment, const std::string& name,
                 const std::string& value) {
    std::string prefix = name + "=";
    for (std::string& entry : *environment) {
        if (entry.compare(0, prefix.size(), prefix) == 0) {
            entry = prefix + value;
            return;
        }
    }
    environment->push_back(prefix + value);
}

// Waits for the launched program on a thread of its own, so that it never
// stays behind as a zombie, whichever init the machine has.
void ReapLater(pid_t child) {
    try {
        std::thread([child] {
            while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread to spare: the exit status is collected by no one.
    }
}

}  // namespace

uint32_t ActiveSessionId() {
    std::vector<SessionRecord> sessions = ActiveGraphicalSessions();
    return sessions.empty() ? 0 : sessions.front().id;
}

UserIdentity* QueryUserIdentity(uint32_t sessionId, int32_t* error) {
    auto* identity = new UserIdentity;
    if (geteuid() != 0 || sessionId == 0) {
        return identity;
    }
    for (const SessionRecord& session : ActiveGraphicalSessions()) {
        if (session.id != sessionId) {
            continue;
        }
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> text(16384);
        int failed = getpwuid_r(session.uid, &entry, text.data(), text.size(), &found);
        if (failed != 0 || found == nullptr) {
            *error = failed != 0 ? failed : ENOENT;
            delete identity;
            return nullptr;
        }
        identity->switchUser = true;
        identity->uid = entry.pw_uid;
        identity->gid = entry.pw_gid;
        int count = 64;
        identity->groups.resize(static_cast<size_t>(count));
        if (getgrouplist(entry.pw_name, entry.pw_gid, identity->groups.data(), &count) < 0) {
            identity->groups.resize(static_cast<size_t>(count));
            getgrouplist(entry.pw_name, entry.pw_gid, identity->groups.data(), &count);
        }
        identity->groups.resize(static_cast<size_t>(count > 0 ? count : 0));
        for (char** variable = environ; *variable != nullptr; ++variable) {
            identity->environment.push_back(*variable);
        }
        SetVariable(&identity->environment, "HOME", entry.pw_dir);
        SetVariable(&identity->environment, "USER", entry.pw_name);
        SetVariable(&identity->environment, "LOGNAME", entry.pw_name);
        SetVariable(&identity->environment, "XDG_RUNTIME_DIR",
                    "/run/user/" + std::to_string(entry.pw_uid));
        if (session.type == "wayland") {
            SetVariable(&identity->environment, "WAYLAND_DISPLAY", "wayland-0");
        }
        if (!session.display.empty()) {
            SetVariable(&identity->environment, "DISPLAY", session.display);
        }
        return identity;
    }
    return identity;
}

void ReleaseUserIdentity(UserIdentity* identity) {
    delete identity;
}

bool LaunchProgram(const UserIdentity* identity, const std::string& commandLine, int32_t* error) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        *error = ENOENT;
        return false;
    }
    // Everything the child needs is prepared before the fork: after it only
    // async-signal-safe calls are made.
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = identity->environment;
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(&entry[0]);
    }
    envp.push_back(nullptr);
    char** childEnvironment = identity->switchUser ? envp.data() : environ;

    const int descriptorLimit = DescriptorLimit();
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *error = errno;
        return false;
    }
    pid_t child = fork();
    if (child < 0) {
        *error = errno;
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        close(report[0]);
        DetachIntoOwnSession();
        // No descriptor of the daemon (sockets, log files) reaches the
        // program; the report pipe closes by itself at the exec.
        if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (int fd = 3; fd < descriptorLimit; ++fd) {
                if (fd != report[1]) {
                    close(fd);
                }
            }
        }
        RestoreDefaultSignals();
        int failure = 0;
        if (identity->switchUser &&
            (setgroups(identity->groups.size(), identity->groups.data()) != 0 ||
             setgid(identity->gid) != 0 || setuid(identity->uid) != 0)) {
            failure = errno;
        } else {
            execvpe(argv[0], argv.data(), childEnvironment);
            failure = errno;
        }
        ssize_t ignored = write(report[1], &failure, sizeof(failure));
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int failure = 0;
    ssize_t got;
    do {
        got = read(report[0], &failure, sizeof(failure));
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    ReapLater(child);
    if (got == static_cast<ssize_t>(sizeof(failure))) {
        *error = failure;
        return false;
    }
    *error = 0;
    return true;
}

bool ListProcesses(std::vector<ProcessEntry>* out) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return false;
    }
    const pid_t self = getpid();
    std::vector<char> target(4096);
    while (dirent* entry = readdir(proc)) {
        unsigned long id = 0;
        if (!ParseNumber(entry->d_name, &id) || static_cast<pid_t>(id) == self) {
            continue;
        }
        std::string link = std::string("/proc/") + entry->d_name + "/exe";
        ssize_t n = readlink(link.c_str(), target.data(), target.size() - 1);
        if (n <= 0) {
            continue;  // a kernel thread, a process that ended, or one not ours to see
        }
        std::string path(target.data(), static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
            path.resize(path.size() - deleted.size());
        }
        size_t slash = path.rfind('/');
        out->push_back(ProcessEntry{static_cast<uint32_t>(id),
                                    slash == std::string::npos ? path : path.substr(slash + 1)});
    }
    closedir(proc);
    return true;
}

bool TerminateProcessById(uint32_t id, int32_t* error) {
    if (id == 0 || id > static_cast<uint32_t>(INT32_MAX)) {
        *error = ESRCH;
        return false;
    }
    if (kill(static_cast<pid_t>(id), SIGKILL) != 0) {
        *error = errno;
        return false;
    }
    *error = 0;
    return true;
}

}  // namespace platform
