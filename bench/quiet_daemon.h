// The real daemon executable watching quiet applications: listening sockets
// of the benchmark that send each watchdog a heartbeat every 2 seconds, and
// the daemon run in console mode from a folder of its own.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class QuietApplications {
  public:
    // Listens on `count` loopback ports and starts serving them.
    bool Open(int count);
    void Close();
    const std::vector<int>& Ports() const { return ports_; }
    int Connected() const { return connected_.load(); }
    // Closes the connection accepted first: its watchdog's reads start to
    // fail. False when there is none.
    bool DropOne();

  private:
    void Serve();

    std::vector<int> listeners_, clients_, ports_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, drop_{false};
    std::atomic<int> connected_{0};
};

class BenchDaemon {
  public:
    ~BenchDaemon();
    // Copies `daemonExe` into a new folder beside a config.xml for `ports`
    // (with the status snapshot in <folder>/status when `status`, the event
    // journal in <folder>/journal when `journal`) and starts it. False when
    // it could not be prepared.
    bool Start(const std::string& daemonExe, const std::vector<int>& ports, bool status,
               bool journal = false);
    int Pid() const { return pid_; }
    const std::string& Folder() const { return folder_; }
    // Presses the keys that stop it and waits up to 30 s (then kills it);
    // returns the wait status.
    int Stop();

  private:
    std::string folder_;
    int pid_ = -1;
    int keys_ = -1;
};
