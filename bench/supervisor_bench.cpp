// The supervisor's figures: message framing, concurrent logging, and the
// real daemon executable watching 20 quiet applications. Linux only, like
// the rest of the benchmark.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench_parts.h"
#include "log/log.h"
#include "log/log_writer.h"
#include "measure.h"
#include "quiet_daemon.h"
#include "supervision/framing.h"

namespace {

std::string MakeTempFolder() {
    char pattern[] = "/tmp/zelk-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "/tmp";
}

// A train message of exactly `size` bytes.
std::string TrainMessage(size_t size) {
    const std::string head = "<train><time>2026-12-08 14:03:27</time>";
    const std::string vagen = "<vagen id=\"7\"><serial>SN00000007</serial></vagen>";
    const std::string tail = "</train>";
    std::string text = head;
    while (text.size() + vagen.size() + tail.size() <= size)
        text += vagen;
    text.append(size - text.size() - tail.size(), ' ');
    return text + tail;
}

// Seconds to frame one message of `size` bytes from 64 KiB reads; -1 when
// the framer did not return it whole.
double FrameOnce(MessageFramer& framer, const std::string& message) {
    const size_t kRead = 65536;
    framer.Clear();
    bool whole = false;
    const double t0 = ThreadCpuSeconds();
    for (size_t at = 0; at < message.size(); at += kRead) {
        const size_t n = std::min(kRead, message.size() - at);
        FramedMessage got = framer.Append(message.data() + at, n);
        if (got.kind == MessageKind::kTrain)
            whole = got.text.size() == message.size();
    }
    const double seconds = ThreadCpuSeconds() - t0;
    return whole ? seconds : -1;
}

}  // namespace

void RunFramingBench(int reps) {
    std::fprintf(stderr, "framing\n");
    MessageFramer framer;
    // The buffer holds its terminating zero byte too, so the largest message
    // that fits is one byte short of 20 MiB.
    const size_t sizes[] = {1048576, kMessageBufferBytes - 1};
    double perByte[2] = {0, 0};
    std::printf(
        "\nFraming a train message arriving in 64 KiB reads (MessageFramer), medians of %d:\n\n",
        reps);
    std::printf("| message bytes | milliseconds | ns per byte |\n|---:|---:|---:|\n");
    for (int i = 0; i < 2; ++i) {
        const std::string message = TrainMessage(sizes[i]);
        std::vector<double> samples;
        bool failed = false;
        for (int r = 0; r < reps; ++r) {
            const double s = FrameOnce(framer, message);
            if (s < 0)
                failed = true;
            samples.push_back(s);
        }
        const double t = Median(samples);
        perByte[i] = t / static_cast<double>(sizes[i]);
        if (failed)
            std::printf("| %zu | not framed whole | - |\n", sizes[i]);
        else
            std::printf("| %zu | %.2f | %.2f |\n", sizes[i], t * 1e3, perByte[i] * 1e9);
    }
    std::printf("\nTime per byte, 20 MiB against 1 MiB: %.2fx (1.0 is linear).\n",
                perByte[0] > 0 ? perByte[1] / perByte[0] : 0.0);
}

void RunLogBench() {
    std::fprintf(stderr, "logging\n");
    const std::string folder = MakeTempFolder() + "/";
    std::atomic<int> sinkLines{0};
    ProcessLogWriter().Reset(
        folder, [] { return static_cast<int64_t>(std::time(nullptr)); },
        [&](const char*) { ++sinkLines; });
    const int kThreads = 20, kLines = 2000;
    const double t0 = NowSeconds();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                WriteLog(LogLevel::kTrace, __LINE__, "bench", 0, "bench t%02d n%05d", t, i);
        });
    for (std::thread& thread : threads)
        thread.join();
    const double seconds = NowSeconds() - t0;
    // Every line must be there exactly once.
    std::set<std::pair<int, int>> seen;
    int duplicates = 0, total = 0;
    std::ifstream in(ProcessLogWriter().FilePathFor(std::time(nullptr)));
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find("bench t");
        int t, i;
        if (at == std::string::npos || std::sscanf(line.c_str() + at, "bench t%d n%d", &t, &i) != 2)
            continue;
        ++total;
        if (!seen.insert({t, i}).second)
            ++duplicates;
    }
    const int expected = kThreads * kLines;
    std::printf(
        "\nWriteLog from %d threads, %d lines each: %.0f lines/s (%.2f s); %d of %d lines "
        "found, %d lost, %d duplicated, %d reports to the debug channel.\n",
        kThreads, kLines, expected / seconds, seconds, total, expected,
        expected - static_cast<int>(seen.size()), duplicates, sinkLines.load());
    std::string command = "rm -rf '" + folder + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", folder.c_str());
}

namespace {

// utime + stime of process `pid` in seconds.
double ProcessCpu(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    // Fields after the command: state is field 3; utime and stime are 14 and 15.
    unsigned long long utime = 0, stime = 0;
    const char* p = stat.c_str() + close + 2;
    for (int field = 3; field < 14 && *p; ++field) {
        p = std::strchr(p, ' ');
        if (!p)
            return -1;
        ++p;
    }
    if (std::sscanf(p, "%llu %llu", &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

namespace {

struct WatchFigures {
    bool prepared = false;
    int connected = 0;
    int64_t startRss = 0, rss0 = 0, rss1 = 0, hwm = 0, threads = 0;
    double cpu = 0, seconds = 0;
    int status = 0;
    int logLines = 0, relaunches = 0, journalLines = 0;
};

// One run of the daemon watching 20 quiet applications for `seconds`.
WatchFigures WatchQuietApplications(const std::string& daemonExe, int seconds, bool journal) {
    WatchFigures f;
    QuietApplications apps;
    BenchDaemon daemon;
    if (!apps.Open(20) || !daemon.Start(daemonExe, apps.Ports(), false, journal)) {
        std::printf("\nWatchdogs: could not prepare %s\n", daemon.Folder().c_str());
        return f;
    }
    f.prepared = true;
    const int pid = daemon.Pid();
    const std::string folder = daemon.Folder();
    usleep(100000);
    f.startRss = StatusBytes("VmRSS", pid);
    const double deadline = NowSeconds() + 30;
    while (apps.Connected() < 20 && NowSeconds() < deadline)
        usleep(100000);
    f.connected = apps.Connected();
    sleep(3);
    const double cpu0 = ProcessCpu(pid), t0 = NowSeconds();
    f.rss0 = StatusBytes("VmRSS", pid);
    sleep(static_cast<unsigned>(seconds));
    f.cpu = ProcessCpu(pid) - cpu0;
    f.seconds = NowSeconds() - t0;
    f.rss1 = StatusBytes("VmRSS", pid);
    f.hwm = StatusBytes("VmHWM", pid);
    f.threads = StatusBytes("Threads", pid) / 1024;
    f.status = daemon.Stop();
    apps.Close();
    int ignored = 0;
    f.logLines =
        std::atoi(RunCapture("cat '" + folder + "'/ZELK_LOG/*.log | wc -l", &ignored).c_str());
    f.relaunches = std::atoi(
        RunCapture("grep -c -i 'open\\|launch\\|close' '" + folder + "'/ZELK_LOG/*.log", &ignored)
            .c_str());
    if (journal) {
        f.journalLines = std::atoi(
            RunCapture("cat '" + folder + "'/journal/*.jsonl 2>/dev/null | wc -l", &ignored)
                .c_str());
    }
    return f;
}

}  // namespace

void RunWatchdogBench(const std::string& daemonExe, int seconds) {
    std::fprintf(stderr, "watching 20 quiet applications for %d s, without and with the journal\n",
                 seconds);
    const WatchFigures off = WatchQuietApplications(daemonExe, seconds, false);
    const WatchFigures on = WatchQuietApplications(daemonExe, seconds, true);
    if (!off.prepared || !on.prepared) {
        return;
    }
    const double mib = 1024.0 * 1024.0;
    std::printf(
        "\nThe daemon executable watching 20 quiet applications (a heartbeat every 2 s each), "
        "%d and %d connected, without and with the event journal:\n\n",
        off.connected, on.connected);
    std::printf("| figure | journal off | journal on |\n|---|---:|---:|\n");
    std::printf("| resident 0.1 s after start (MiB) | %.2f | %.2f |\n", off.startRss / mib,
                on.startRss / mib);
    std::printf("| resident with 20 connected (MiB) | %.2f | %.2f |\n", off.rss0 / mib,
                on.rss0 / mib);
    std::printf("| resident after %d s (MiB) | %.2f | %.2f |\n", seconds, off.rss1 / mib,
                on.rss1 / mib);
    std::printf("| peak resident (MiB) | %.2f | %.2f |\n", off.hwm / mib, on.hwm / mib);
    std::printf("| threads | %lld | %lld |\n", static_cast<long long>(off.threads),
                static_cast<long long>(on.threads));
    std::printf("| CPU seconds over %.0f s | %.2f | %.2f |\n", off.seconds, off.cpu, on.cpu);
    std::printf("| CPU seconds per hour | %.1f | %.1f |\n", off.cpu / off.seconds * 3600,
                on.cpu / on.seconds * 3600);
    std::printf("| exit | %s %d | %s %d |\n", WIFEXITED(off.status) ? "code" : "signal",
                WIFEXITED(off.status) ? WEXITSTATUS(off.status) : WTERMSIG(off.status),
                WIFEXITED(on.status) ? "code" : "signal",
                WIFEXITED(on.status) ? WEXITSTATUS(on.status) : WTERMSIG(on.status));
    std::printf("| log lines (launch/close lines) | %d (%d) | %d (%d) |\n", off.logLines,
                off.relaunches, on.logLines, on.relaunches);
    std::printf("| journal lines | - | %d |\n", on.journalLines);
    std::printf("\nThe CPU clock ticks at 1/%ld s, so short windows round.\n",
                sysconf(_SC_CLK_TCK));
}
