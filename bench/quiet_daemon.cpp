#include "quiet_daemon.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "measure.h"

bool QuietApplications::Open(int count) {
    for (int i = 0; i < count; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd, 4) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return false;
        listeners_.push_back(fd);
        ports_.push_back(ntohs(address.sin_port));
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void QuietApplications::Close() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    for (int fd : listeners_)
        close(fd);
    for (int fd : clients_)
        close(fd);
    listeners_.clear();
    clients_.clear();
}

bool QuietApplications::DropOne() {
    if (connected_.load() == 0)
        return false;
    drop_ = true;
    return true;
}

void QuietApplications::Serve() {
    double nextBeat = NowSeconds() + 2;
    const char beat[] = "<handshake>alive</handshake>";
    while (!stop_) {
        std::vector<pollfd> fds;
        for (int fd : listeners_)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), 100) > 0) {
            for (const pollfd& p : fds) {
                if (!(p.revents & POLLIN))
                    continue;
                const int client = accept(p.fd, nullptr, nullptr);
                if (client >= 0) {
                    clients_.push_back(client);
                    ++connected_;
                }
            }
        }
        if (drop_.exchange(false) && !clients_.empty()) {
            close(clients_.front());
            clients_.erase(clients_.begin());
        }
        if (NowSeconds() >= nextBeat) {
            nextBeat += 2;
            for (int fd : clients_)
                if (send(fd, beat, sizeof beat - 1, MSG_NOSIGNAL) < 0) {
                }
        }
    }
}

namespace {

std::string MakeTempFolder() {
    char pattern[] = "/tmp/zelk-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "";
}

}  // namespace

BenchDaemon::~BenchDaemon() {
    if (pid_ > 0)
        Stop();
    if (!folder_.empty()) {
        const std::string remove = "rm -rf '" + folder_ + "'";
        if (std::system(remove.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", folder_.c_str());
    }
}

bool BenchDaemon::Start(const std::string& daemonExe, const std::vector<int>& ports, bool status,
                        bool journal) {
    folder_ = MakeTempFolder();
    const std::string exe = folder_ + "/ZELK_Daemon";
    const std::string copy = "cp '" + daemonExe + "' '" + exe + "'";
    if (folder_.empty() || std::system(copy.c_str()) != 0)
        return false;
    // Made here, so that builds from before the daemon made its status
    // folder write their snapshots too.
    if (status && mkdir((folder_ + "/status").c_str(), 0755) != 0)
        return false;
    {
        std::ofstream config(folder_ + "/config.xml");
        config << "<config>\n";
        if (status)
            config << "  <status folder=\"" << folder_ << "/status\"/>\n";
        if (journal)
            config << "  <journal folder=\"" << folder_ << "/journal\"/>\n";
        for (size_t i = 0; i < ports.size(); ++i)
            config << "  <app name=\"zelk-bench-quiet-" << i << "\" path=\"" << folder_
                   << "/no-such-application\">\n    <socket ip=\"127.0.0.1\" port=\"" << ports[i]
                   << "\"/>\n    <subApp name=\"\" startPath=\"\" stopPath=\"\">\n      "
                      "<picMonitor>"
                   << folder_ << "/pictures\\</picMonitor>\n    </subApp>\n  </app>\n";
        config << "</config>\n";
    }
    int keys[2];
    if (pipe(keys) != 0)
        return false;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(keys[0], 0);
        close(keys[1]);
        const int out =
            open((folder_ + "/console.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        unsetenv("NOTIFY_SOCKET");
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(keys[0]);
    keys_ = keys[1];
    // Until the copy of this process has become the daemon.
    const std::string exeLink = "/proc/" + std::to_string(pid_) + "/exe";
    for (int i = 0; i < 100; ++i) {
        char target[4096];
        const ssize_t n = readlink(exeLink.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == exe)
            break;
        usleep(10000);
    }
    return pid_ > 0;
}

int BenchDaemon::Stop() {
    // Two key presses: one ends the console run, one answers the last pause.
    if (write(keys_, "xx", 2) != 2)
        std::fprintf(stderr, "could not press the keys\n");
    close(keys_);
    int status = 0;
    const double stopBy = NowSeconds() + 30;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (NowSeconds() > stopBy) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        usleep(100000);
    }
    pid_ = -1;
    return status;
}
