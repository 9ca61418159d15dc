#include "trackside-sim/simulator.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "trackside-sim/event_line.h"
#include "trackside-sim/messages.h"
#include "trackside-sim/os.h"
#include "trackside-sim/result_files.h"
#include "trackside-sim/schedule.h"

namespace sim {

namespace {

constexpr int kTickMs = 50;
// How long a relaunched instance keeps trying to get its port back.
constexpr int kListenTries = 60;
constexpr int kListenRetryMs = 1000;

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    if (const std::tm* converted = std::localtime(&now)) {
        local = *converted;
    }
    return local;
}

struct Connection {
    simos::Socket socket;
    int number;
};

class Run {
  public:
    Run(const Options& options, const std::string& name)
        : options(options), name(name), schedule(options) {}

    int Go();

  private:
    void Event(const std::string& what);
    bool OpenListener();
    void AcceptWaiting(bool refuse);
    void DropClosed();
    void CloseAll();
    // Sends `bytes` to every connection and drops those that fail; returns
    // how many received it.
    int Broadcast(const std::string& bytes);
    void Handshake();
    void Train();

    const Options& options;
    const std::string name;
    Schedule schedule;
    simos::Socket listener = simos::kNoSocket;
    std::vector<Connection> connections;
    int connectionsAccepted = 0;
    int64_t handshakesSent = 0;
    uint32_t garbageState = 0x2545F491u;
};

void Run::Event(const std::string& what) {
    std::string line = EventLine(LocalNow(), name, what);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    if (!options.logFile.empty()) {
        simos::AppendToFile(options.logFile, line);
    }
}

bool Run::OpenListener() {
    for (int attempt = 1; attempt <= kListenTries; ++attempt) {
        int error = 0;
        listener = simos::Listen(options.address, options.port, &error);
        if (listener != simos::kNoSocket) {
            Event("listening on " + options.address + ":" + std::to_string(options.port) +
                  " (pid " + std::to_string(simos::ProcessId()) + ")");
            return true;
        }
        Event("cannot listen on " + options.address + ":" + std::to_string(options.port) +
              " (error " + std::to_string(error) + "), try " + std::to_string(attempt) + " of " +
              std::to_string(kListenTries));
        if (!options.stopFile.empty() && simos::PathExists(options.stopFile)) {
            break;
        }
        simos::SleepMs(kListenRetryMs);
    }
    return false;
}

void Run::AcceptWaiting(bool refuse) {
    for (;;) {
        simos::Socket socket = simos::AcceptNext(listener);
        if (socket == simos::kNoSocket) {
            return;
        }
        int number = ++connectionsAccepted;
        if (refuse) {
            simos::CloseSocket(socket);
            Event("connection " + std::to_string(number) + " accepted and closed at once");
            continue;
        }
        connections.push_back({socket, number});
        Event("connection " + std::to_string(number) + " accepted");
    }
}

void Run::DropClosed() {
    for (size_t i = 0; i < connections.size();) {
        if (simos::PeerGone(connections[i].socket)) {
            simos::CloseSocket(connections[i].socket);
            Event("connection " + std::to_string(connections[i].number) + " closed by the peer");
            connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void Run::CloseAll() {
    for (const Connection& c : connections) {
        simos::CloseSocket(c.socket);
        Event("connection " + std::to_string(c.number) + " closed");
    }
    connections.clear();
}

int Run::Broadcast(const std::string& bytes) {
    int reached = 0;
    for (size_t i = 0; i < connections.size();) {
        if (simos::SendAll(connections[i].socket, bytes)) {
            ++reached;
            ++i;
        } else {
            simos::CloseSocket(connections[i].socket);
            Event("connection " + std::to_string(connections[i].number) +
                  " failed on sending; closed");
            connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return reached;
}

void Run::Handshake() {
    if (connections.empty()) {
        return;
    }
    if (options.garbage) {
        int reached = Broadcast(GarbageBytes(&garbageState, 64 + garbageState % 192));
        Event("garbage sent to " + std::to_string(reached) + " connection(s)");
        return;
    }
    ++handshakesSent;
    int reached = Broadcast(HandshakeMessage(TimeText(LocalNow()), handshakesSent));
    Event("handshake " + std::to_string(handshakesSent) + " sent to " + std::to_string(reached) +
          " connection(s)");
}

void Run::Train() {
    std::string time = TimeText(LocalNow());
    std::string key = TrainKey(time);
    int written = 0;
    int failed = 0;
    for (const ResultFile& file : TrainResultFiles(
             options.pictureFolder, options.xmlFolder, key, time, options.picturesPerTrain,
             options.xmlFilesPerTrain, simos::kPathSeparator)) {
        if (simos::MakeFolders(file.folder) && simos::WriteWholeFile(file.path, file.content)) {
            ++written;
        } else {
            ++failed;
            Event("cannot write " + file.path);
        }
    }
    std::string files =
        std::to_string(options.pictureFolder.empty() ? 0 : options.picturesPerTrain) +
        " picture(s), " + std::to_string(options.xmlFolder.empty() ? 0 : options.xmlFilesPerTrain) +
        " XML file(s)";
    if (failed > 0) {
        files += ", " + std::to_string(failed) + " not written";
    }
    // The files are in place before the message, as the supervisor looks for
    // them as soon as the message arrives.
    if (options.neverSend) {
        Event("train " + key + ": wrote " + files + "; not sent (--never-send)");
        return;
    }
    int reached = options.garbage
                      ? Broadcast(GarbageBytes(&garbageState, 256))
                      : Broadcast(TrainMessage(time, options.vehiclesPerTrain, options.serial));
    Event("train " + key + ": wrote " + files + "; " + (options.garbage ? "garbage" : "message") +
          " sent to " + std::to_string(reached) + " connection(s)");
}

int Run::Go() {
    if (!simos::StartNetwork()) {
        Event("the socket library did not start");
        return 1;
    }
    if (!OpenListener()) {
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (!options.stopFile.empty() && simos::PathExists(options.stopFile)) {
            Event("stop file " + options.stopFile + " found; exiting");
            return 0;
        }
        int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        DueActions due = schedule.Advance(nowMs);
        if (due.exit) {
            Event("exiting now (--exit-after)");
            return 0;
        }
        if (due.silenceBegins) {
            Event("falling silent now (--silent-after); connections stay open");
        }
        if (due.closingBegins) {
            Event("closing every connection from now on (--close-after)");
            CloseAll();
        }
        AcceptWaiting(due.refuseConnections);
        DropClosed();
        if (due.sendHandshake) {
            Handshake();
        }
        if (due.train) {
            Train();
        }
        simos::SleepMs(kTickMs);
    }
}

}  // namespace

int RunSimulator(const Options& options, const std::string& name) {
    return Run(options, name).Go();
}

}  // namespace sim
