// What the status snapshot costs a station's disk: the real daemon watching
// 20 quiet applications with the snapshot on, its writes counted from
// /proc/<pid>/io with the log's and the console's share taken off, and how
// soon a change of state reaches the file. Linux only, like the rest of the
// benchmark.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "bench_parts.h"
#include "measure.h"
#include "quiet_daemon.h"

namespace {

// The counters of /proc/<pid>/io by name; empty when they cannot be read.
std::map<std::string, int64_t> ProcessIo(int pid) {
    std::map<std::string, int64_t> fields;
    std::ifstream in("/proc/" + std::to_string(pid) + "/io");
    std::string name;
    long long value = 0;
    while (in >> name >> value) {
        if (!name.empty() && name.back() == ':')
            name.pop_back();
        fields[name] = value;
    }
    return fields;
}

int64_t FileBytes(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

// Bytes of the daemon's own files besides the snapshot: the day's logs and
// the captured console.
int64_t LogAndConsoleBytes(const std::string& folder) {
    int status = 0;
    const std::string sizes =
        RunCapture("cat '" + folder + "'/ZELK_LOG/*.log 2>/dev/null | wc -c", &status);
    return std::atoll(sizes.c_str()) + FileBytes(folder + "/console.txt");
}

// Whether the snapshot shows an application whose reads fail, in the old
// format and the new alike.
bool ShowsFailedReads(const std::string& path) {
    std::istringstream text(ReadWholeFile(path));
    std::string line;
    while (std::getline(text, line))
        if (line.compare(0, 23, "zelk_app_recv_failures{") == 0 &&
            line.compare(line.size() - 2, 2, " 0") != 0)
            return true;
    return false;
}

}  // namespace

void RunStatusWriteBench(const std::string& daemonExe, int seconds) {
    std::fprintf(stderr, "the status snapshot of 20 quiet applications for %d s\n", seconds);
    QuietApplications apps;
    BenchDaemon daemon;
    if (!apps.Open(20) || !daemon.Start(daemonExe, apps.Ports(), true)) {
        std::printf("\nStatus snapshot: could not prepare %s\n", daemon.Folder().c_str());
        return;
    }
    const int pid = daemon.Pid();
    const std::string snapshot = daemon.Folder() + "/status/zelk.prom";
    const double deadline = NowSeconds() + 30;
    while (apps.Connected() < 20 && NowSeconds() < deadline)
        usleep(100000);
    const int connected = apps.Connected();
    sleep(3);

    const std::map<std::string, int64_t> io0 = ProcessIo(pid);
    const int64_t own0 = LogAndConsoleBytes(daemon.Folder());
    const double t0 = NowSeconds();
    // Every write renames a new file over the snapshot: a new inode each time.
    int writes = 0;
    struct stat seen {};
    stat(snapshot.c_str(), &seen);
    while (NowSeconds() - t0 < seconds) {
        usleep(20000);
        struct stat now {};
        if (stat(snapshot.c_str(), &now) == 0 && now.st_ino != seen.st_ino) {
            ++writes;
            seen = now;
        }
    }
    const double t1 = NowSeconds();
    const std::map<std::string, int64_t> io1 = ProcessIo(pid);
    const int64_t own1 = LogAndConsoleBytes(daemon.Folder());
    const int64_t size = FileBytes(snapshot);

    // One application closes its end: its reads fail from the next wait on.
    double seenAfter = -1;
    if (apps.DropOne()) {
        const double dropped = NowSeconds();
        while (NowSeconds() - dropped < 20 && seenAfter < 0) {
            usleep(10000);
            if (ShowsFailedReads(snapshot))
                seenAfter = NowSeconds() - dropped;
        }
    }
    daemon.Stop();
    apps.Close();

    auto delta = [&](const char* field) {
        const auto a = io0.find(field), b = io1.find(field);
        return a == io0.end() || b == io1.end() ? int64_t{-1} : b->second - a->second;
    };
    const double window = t1 - t0;
    const double perDay = 86400.0 / window;
    const int64_t wchar = delta("wchar");
    const int64_t status = wchar - (own1 - own0);
    const int64_t storage = delta("write_bytes") - delta("cancelled_write_bytes");
    std::printf(
        "\nThe status snapshot of 20 quiet applications (a heartbeat every 2 s each), "
        "%d connected, over %.0f s:\n\n",
        connected, window);
    std::printf("| figure | value |\n|---|---:|\n");
    std::printf("| snapshot writes (per minute) | %d (%.1f) |\n", writes, writes * 60.0 / window);
    std::printf("| snapshot size (bytes) | %lld |\n", static_cast<long long>(size));
    std::printf("| bytes the daemon wrote (wchar) | %lld |\n", static_cast<long long>(wchar));
    std::printf("| of those, log and console | %lld |\n", static_cast<long long>(own1 - own0));
    std::printf("| status snapshot, MB per day (wchar less log and console) | %.1f |\n",
                status * perDay / 1e6);
    std::printf("| whole process to storage, MB per day (write_bytes less cancelled) | %.1f |\n",
                storage * perDay / 1e6);
    if (seenAfter >= 0)
        std::printf("| a connection closed, its failing reads in the file after (ms) | %.0f |\n",
                    seenAfter * 1e3);
    else
        std::printf(
            "| a connection closed, its failing reads in the file after (ms) | not seen |\n");
}
