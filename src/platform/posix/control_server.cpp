#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <vector>

#include "../control_common.h"
#include "control_access.h"
#include "platform/control_channel.h"
#include "platform/error_text.h"
#include "platform/system.h"

namespace platform {

namespace {
constexpr const char* kServiceChannel = "/run/zelk/control.sock";
constexpr const char* kConsoleSocketName = "control.sock";
// Connections the system queues for the server beyond those it serves.
constexpr int kBacklog = 128;
// How long the listener rests after an accept the system refused (out of
// descriptors), so that a full table does not keep the loop spinning.
constexpr unsigned kAcceptRestMs = 100;

int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}

void CloseFd(int* fd) {
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

ControlOpenResult Opened() {
    ControlOpenResult result;
    result.status = ControlOpenStatus::kOpen;
    return result;
}

ControlOpenResult Failure(ControlOpenStatus status, int32_t error, const std::string& channel,
                          const std::string& why) {
    ControlOpenResult result;
    result.status = status;
    result.error = error;
    result.text = "cannot open the control channel " + channel + ": " + why;
    return result;
}

ControlOpenResult SystemFailure(const std::string& channel, int32_t error) {
    return Failure(ControlOpenStatus::kFailed, error, channel, ErrorText(error));
}

}  // namespace

ControlStop::ControlStop() : handles_{-1, -1} {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        handles_[0] = ends[0];
        handles_[1] = ends[1];
    }
}

ControlStop::~ControlStop() {
    for (intptr_t handle : handles_) {
        if (handle >= 0) {
            close(Fd(handle));
        }
    }
}

bool ControlStop::IsValid() const {
    return handles_[0] >= 0;
}

void ControlStop::Raise() {
    if (handles_[1] >= 0) {
        const int saved = errno;
        const char byte = 1;
        // A full pipe is raised already.
        ssize_t ignored = write(Fd(handles_[1]), &byte, 1);
        (void)ignored;
        errno = saved;
    }
}

bool ControlStop::IsRaised() const {
    pollfd entry{Fd(handles_[0]), POLLIN, 0};
    return IsValid() && poll(&entry, 1, 0) > 0;
}

std::string ServiceControlChannel() {
    return kServiceChannel;
}

std::string ConsoleControlChannel(const std::string& folder) {
    return folder + (EndsWithSeparator(folder) ? "" : "/") + kConsoleSocketName;
}

struct PosixClient {
    int fd = -1;
    control::Exchange exchange;
};

struct ControlServer::State {
    std::string channel;
    ControlLimits limits;
    control::SocketPlace place;
    int listener = -1;
    dev_t device = 0;  // the socket file this server made
    ino_t inode = 0;
    bool hasGroup = false;
    gid_t group = 0;
    int64_t listenerRestsUntil = 0;
    uint64_t lastId = 0;
    std::vector<PosixClient> clients;
    std::deque<ControlEvent> events;

    ControlOpenResult Bind();
    ControlOpenResult ClearStale();
    void Accept();
    void Serve(PosixClient& client, short revents);
    void Flush(PosixClient& client);
    void Drop(PosixClient& client, const std::string& why);
    void Expire(int64_t nowMs);
    void RemoveClosed();
};

// Makes way for the socket: nothing of the name, or a socket nobody listens
// on (the file of a server that has gone), which is removed.
ControlOpenResult ControlServer::State::ClearStale() {
    struct stat info {};
    if (fstatat(place.folder, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? Opened() : SystemFailure(channel, errno);
    }
    if (!S_ISSOCK(info.st_mode)) {
        return Failure(ControlOpenStatus::kNameTaken, 0, channel,
                       "the name is taken by something that is not a socket, which is left as "
                       "it is");
    }
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) {
        return SystemFailure(channel, errno);
    }
    const int refused =
        connect(probe, reinterpret_cast<const sockaddr*>(&place.address), place.addressLength) != 0
            ? errno
            : 0;
    close(probe);
    if (refused == ENOENT) {
        return Opened();  // gone meanwhile
    }
    if (refused != ECONNREFUSED) {
        // Accepted, or queued behind others: a server answers there.
        return Failure(ControlOpenStatus::kInUse, refused, channel, "another daemon answers on it");
    }
    if (unlinkat(place.folder, place.name.c_str(), 0) != 0 && errno != ENOENT) {
        return SystemFailure(channel, errno);
    }
    return Opened();
}

// Binds, sets the file's group and mode, and listens. Nobody can connect
// between the bind and the listen, so the file's first mode never counts.
ControlOpenResult ControlServer::State::Bind() {
    listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    struct stat info {};
    if (listener < 0 ||
        bind(listener, reinterpret_cast<const sockaddr*>(&place.address), place.addressLength) !=
            0 ||
        fstatat(place.folder, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISSOCK(info.st_mode)) {
        // Nothing of the name is this server's to remove.
        const int error = errno;
        CloseFd(&listener);
        return error == EADDRINUSE ? Failure(ControlOpenStatus::kInUse, error, channel,
                                             "another daemon answers on it")
                                   : SystemFailure(channel, error);
    }
    const mode_t mode = hasGroup ? 0660 : 0600;
    if ((hasGroup && fchownat(place.folder, place.name.c_str(), static_cast<uid_t>(-1), group,
                              AT_SYMLINK_NOFOLLOW) != 0) ||
        fchmodat(place.folder, place.name.c_str(), mode, 0) != 0 ||
        listen(listener, kBacklog) != 0) {
        const int error = errno;
        unlinkat(place.folder, place.name.c_str(), 0);
        CloseFd(&listener);
        return SystemFailure(channel, error);
    }
    device = info.st_dev;
    inode = info.st_ino;
    return Opened();
}

ControlServer::ControlServer() : state_(new State) {}

ControlServer::~ControlServer() {
    Close();
}

ControlOpenResult ControlServer::Open(const std::string& channel, const ControlAccess& access,
                                      const ControlLimits& limits) {
    Close();
    state_.reset(new State);
    State& s = *state_;
    s.channel = channel;
    s.limits = control::ServedLimits(limits);
    s.hasGroup = !access.group.empty();
    if (s.hasGroup && !control::FindGroup(access.group, &s.group)) {
        return Failure(ControlOpenStatus::kUnknownGroup, 0, channel,
                       "there is no group " + access.group);
    }
    const int located = control::Locate(channel, &s.place);
    if (located == ENAMETOOLONG) {
        return Failure(ControlOpenStatus::kPathTooLong, located, channel,
                       "the path is longer than a socket address holds (" +
                           std::to_string(sizeof(sockaddr_un::sun_path) - 1) +
                           " bytes), even when reached through /proc/self/fd");
    }
    if (located != 0) {
        return SystemFailure(channel, located);
    }
    const ControlOpenResult cleared = s.ClearStale();
    return cleared.status == ControlOpenStatus::kOpen ? s.Bind() : cleared;
}

void ControlServer::State::Accept() {
    while (clients.size() < limits.maxClients) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                events.push_back(control::Simple(ControlEventKind::kFailed, errno,
                                                 "cannot accept a client on the control channel " +
                                                     channel + ": " + ErrorText(errno)));
                listenerRestsUntil = MonotonicMs() + kAcceptRestMs;
            }
            return;
        }
        PosixClient client;
        client.fd = fd;
        control::Begin(client.exchange, ++lastId, limits);
        client.exchange.caller = control::PeerIdentity(fd, hasGroup, group);
        clients.push_back(client);
    }
}

void ControlServer::State::Drop(PosixClient& client, const std::string& why) {
    events.push_back(control::Dropped(client.exchange, why));
    CloseFd(&client.fd);
}

void ControlServer::State::Flush(PosixClient& client) {
    control::Exchange& exchange = client.exchange;
    while (exchange.written < exchange.output.size()) {
        const ssize_t sent =
            send(client.fd, exchange.output.data() + exchange.written,
                 exchange.output.size() - exchange.written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                Drop(client, control::ClosedEarly(exchange));
            }
            return;
        }
        exchange.written += static_cast<std::size_t>(sent);
    }
    // All in the client's queue: it stays readable after the close.
    CloseFd(&client.fd);
}

void ControlServer::State::Serve(PosixClient& client, short revents) {
    control::Exchange& exchange = client.exchange;
    if (exchange.phase == control::Phase::kWriting) {
        Flush(client);
        return;
    }
    if (exchange.phase != control::Phase::kReading ||
        (revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        return;
    }
    char chunk[control::kReadChunkBytes];
    const ssize_t count = recv(client.fd, chunk, control::ReadSize(exchange, limits), 0);
    if (count > 0) {
        ControlEvent event;
        if (control::TakeBytes(exchange, chunk, static_cast<std::size_t>(count), limits, &event) !=
            ControlEventKind::kIdle) {
            events.push_back(event);
        }
    } else if (count == 0) {
        Drop(client, control::ClosedEarly(exchange));
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Drop(client, "could not be read: " + ErrorText(errno));
    }
}

void ControlServer::State::Expire(int64_t nowMs) {
    for (PosixClient& client : clients) {
        if (client.fd >= 0 && client.exchange.deadlineMs <= nowMs) {
            Drop(client, control::Overdue(client.exchange, limits));
        }
    }
    RemoveClosed();
}

void ControlServer::State::RemoveClosed() {
    clients.erase(std::remove_if(clients.begin(), clients.end(),
                                 [](const PosixClient& client) { return client.fd < 0; }),
                  clients.end());
}

ControlEvent ControlServer::Next(ControlStop& stop, unsigned maxWaitMs) {
    State& s = *state_;
    if (s.listener < 0 || !stop.IsValid()) {
        return control::NotOpen(s.channel, EBADF);
    }
    const int64_t until = MonotonicMs() + maxWaitMs;
    std::vector<pollfd> waits;
    for (bool looked = false;; looked = true) {
        const int64_t now = MonotonicMs();
        s.Expire(now);
        ControlEvent before;
        if (control::EventBeforeWaiting(stop.IsRaised(), s.events, now, until, looked, &before)) {
            return before;
        }
        // The stop, the listener while there is room, then each client that
        // has something to move (one awaiting its answer is not watched).
        int64_t wakeAt = until;
        const bool listening =
            s.clients.size() < s.limits.maxClients && now >= s.listenerRestsUntil;
        waits.assign(1, pollfd{Fd(stop.handles_[0]), POLLIN, 0});
        waits.push_back(pollfd{listening ? s.listener : -1, POLLIN, 0});
        if (!listening && now < s.listenerRestsUntil) {
            wakeAt = std::min(wakeAt, s.listenerRestsUntil);
        }
        for (const PosixClient& client : s.clients) {
            const control::Phase phase = client.exchange.phase;
            const short wanted = phase == control::Phase::kReading   ? POLLIN
                                 : phase == control::Phase::kWriting ? POLLOUT
                                                                     : 0;
            waits.push_back(pollfd{wanted != 0 ? client.fd : -1, wanted, 0});
            wakeAt = std::min(wakeAt, client.exchange.deadlineMs);
        }
        const int ready = poll(waits.data(), waits.size(),
                               static_cast<int>(control::MsUntil(wakeAt, now, maxWaitMs)));
        if (ready < 0 && errno != EINTR) {
            return control::Simple(
                ControlEventKind::kFailed, errno,
                "cannot wait on the control channel " + s.channel + ": " + ErrorText(errno));
        }
        if (ready <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < s.clients.size(); ++i) {
            if (waits[i + 2].revents != 0) {
                s.Serve(s.clients[i], waits[i + 2].revents);
            }
        }
        s.RemoveClosed();
        if (waits[1].revents != 0) {
            s.Accept();
        }
    }
}

bool ControlServer::Answer(uint64_t client, const std::string& line) {
    State& s = *state_;
    for (PosixClient& entry : s.clients) {
        if (entry.exchange.id == client && entry.fd >= 0) {
            const bool started = control::StartAnswer(entry.exchange, line);
            if (started) {
                s.Flush(entry);
            } else if (entry.exchange.phase == control::Phase::kAwaiting) {
                CloseFd(&entry.fd);
            }
            s.RemoveClosed();
            return started;
        }
    }
    return false;
}

void ControlServer::Refuse(uint64_t client) {
    State& s = *state_;
    for (PosixClient& entry : s.clients) {
        if (entry.exchange.id == client) {
            CloseFd(&entry.fd);
        }
    }
    s.RemoveClosed();
}

void ControlServer::Close() {
    if (!state_) {
        return;
    }
    State& s = *state_;
    for (PosixClient& client : s.clients) {
        CloseFd(&client.fd);
    }
    s.clients.clear();
    s.events.clear();
    if (s.listener >= 0) {
        // Remove the file only while it is still the one made here.
        struct stat info {};
        if (fstatat(s.place.folder, s.place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            info.st_dev == s.device && info.st_ino == s.inode) {
            unlinkat(s.place.folder, s.place.name.c_str(), 0);
        }
        CloseFd(&s.listener);
    }
}

std::string ControlServer::AccessText() const {
    const State& s = *state_;
    struct stat info {};
    if (s.listener < 0 ||
        fstatat(s.place.folder, s.place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return "";
    }
    char mode[8];
    std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::string(mode) + " " + control::GroupName(info.st_gid);
}

}  // namespace platform
