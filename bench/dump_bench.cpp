// zelk_dump_bench: the time and size of a dump of a hung application as the
// daemon takes it (platform::WriteProcessDump), and the longest freeze the
// dumped process sees. The process is the stand-in of the dump tests,
// holding a given number of MiB of written memory, whose second thread wakes
// every millisecond and notes every gap of 10 ms or more.
//
//   zelk_dump_bench [--mib N]... [--reps N] [--limit-seconds N] [--kinds mini,full]
//                   [--termination 1]
//
// Prints a Markdown table: medians over the repetitions, each on a freshly
// started stand-in. With --termination 1, instead, the time the daemon's
// termination row of a silent application takes with and without its mini
// dump (the evidence writer, then the termination by name).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "daemon/evidence_writer.h"
#include "daemon/process_control.h"
#include "platform/process.h"
#include "platform/process_dump.h"
#include "platform/system.h"

namespace {

struct Options {
    std::vector<int> mebibytes;
    int reps = 3;
    uint32_t limitMs = platform::kDumpTimeLimitMs;
    std::vector<platform::DumpKind> kinds = {platform::DumpKind::kMini, platform::DumpKind::kFull};
    bool termination = false;  // the daemon's row to termination instead
};

struct Sample {
    platform::DumpOutcome outcome;
    int64_t largestGapMs = 0;  // the stand-in's longest sleep beyond 1 ms, 0 when below 10 ms
};

std::string StandInPath() {
    return platform::FolderOf(platform::ExecutablePath()) + ZELK_DUMP_STAND_IN_NAME;
}

uint32_t FindProcess(const std::string& exeName) {
    std::vector<platform::ProcessEntry> processes;
    platform::ListProcesses(&processes);
    for (const platform::ProcessEntry& process : processes) {
        if (process.exeName == exeName) {
            return process.id;
        }
    }
    return 0;
}

// The largest "gap N" the stand-in noted after byte `from` of its file.
int64_t LargestGapAfter(const std::string& marker, std::size_t from) {
    std::ifstream in(marker, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream lines(from < text.size() ? text.substr(from) : std::string());
    int64_t largest = 0;
    std::string word;
    int64_t gap = 0;
    while (lines >> word >> gap) {
        largest = std::max(largest, gap);
    }
    return largest;
}

// Starts the stand-in holding `mebibytes` and waits until it is past its
// start and quiet; its process id, 0 when it did not start.
uint32_t StartStandIn(const std::string& marker, int mebibytes) {
    std::filesystem::remove(marker);
    int32_t error = 0;
    platform::UserIdentity* identity =
        platform::QueryUserIdentity(platform::ActiveSessionId(), &error);
    const std::string command =
        "\"" + StandInPath() + "\" \"" + marker + "\" 3600 " + std::to_string(mebibytes);
    const bool launched = identity != nullptr && platform::LaunchProgram(identity, command, &error);
    platform::ReleaseUserIdentity(identity);
    const int64_t deadline = platform::MonotonicMs() + 120000;
    while (launched && !std::filesystem::exists(marker) && platform::MonotonicMs() < deadline) {
        platform::SleepMs(20);
    }
    const uint32_t id = FindProcess(std::filesystem::path(StandInPath()).filename().string());
    if (!launched || id == 0) {
        std::fprintf(stderr, "the stand-in did not start (error %d)\n", static_cast<int>(error));
        return 0;
    }
    platform::SleepMs(1000);
    return id;
}

void WaitUntilGone() {
    while (FindProcess(std::filesystem::path(StandInPath()).filename().string()) != 0) {
        platform::SleepMs(20);
    }
}

// Starts the stand-in, dumps it once and ends it. False when it did not start.
bool TakeSample(const std::filesystem::path& folder, int mebibytes, platform::DumpKind kind,
                uint32_t limitMs, Sample* sample) {
    const std::string marker = (folder / "marker.txt").string();
    const uint32_t id = StartStandIn(marker, mebibytes);
    if (id == 0) {
        return false;
    }
    const std::size_t before = std::filesystem::file_size(marker);
    // A name of its own: the file of an abandoned dump may still be there.
    static int serial = 0;
    const std::string dump = (folder / ("stand_in_" + std::to_string(++serial) + ".dmp")).string();
    sample->outcome = platform::WriteProcessDump(id, dump, kind, limitMs);
    platform::SleepMs(500);  // the waking thread notes the gap once it runs again
    sample->largestGapMs = LargestGapAfter(marker, before);
    int32_t error = 0;
    platform::TerminateProcessById(id, &error);
    WaitUntilGone();
    std::error_code ignored;
    std::filesystem::remove(dump, ignored);
    return true;
}

// The daemon's termination row of a silent stand-in, as its watchdog takes
// it: with an evidence folder, the evidence writer's mini dump of every
// process of the name first, then the termination of them all. The
// milliseconds from the row to the termination's end; -1 when the stand-in
// did not start.
int64_t RowToTermination(const std::filesystem::path& folder, int mebibytes, bool withDump,
                         uint64_t* dumpBytes) {
    const uint32_t id = StartStandIn((folder / "marker.txt").string(), mebibytes);
    if (id == 0) {
        return -1;
    }
    AppConfig app;
    app.name = std::filesystem::path(StandInPath()).filename().string();
    app.path = StandInPath();
    app.ip = "127.0.0.1";
    app.port = 7001;
    EvidenceSettings settings;
    settings.folder = (folder / "evidence").string();
    EvidenceRequest request;
    request.cycle = Cycle::kSilent;
    request.count = 30;
    const int64_t row = platform::MonotonicMs();
    if (withDump) {
        EvidenceWriter writer(settings);
        for (const EvidenceRecord& record : writer.TakeEvidence(app, request)) {
            *dumpBytes = record.result == EvidenceResult::kWritten ? record.bytes : 0;
        }
    }
    TerminateProcessesNamed(app.name);
    const int64_t took = platform::MonotonicMs() - row;
    WaitUntilGone();
    std::error_code ignored;
    std::filesystem::remove_all(settings.folder, ignored);
    return took;
}

template <typename T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T{} : values[values.size() / 2];
}

const char* ResultWord(platform::DumpResult result) {
    switch (result) {
        case platform::DumpResult::kWritten:
            return "written";
        case platform::DumpResult::kTimedOut:
            return "timed out";
        case platform::DumpResult::kFailed:
            return "failed";
        case platform::DumpResult::kTooLarge:
            return "too large";
        case platform::DumpResult::kNotAvailable:
            return "not available";
    }
    return "?";
}

void PrintRow(int mebibytes, platform::DumpKind kind, const std::vector<Sample>& samples) {
    std::vector<uint32_t> ms;
    std::vector<double> mib;
    std::vector<int64_t> gaps;
    std::string results;
    for (const Sample& sample : samples) {
        ms.push_back(sample.outcome.milliseconds);
        mib.push_back(static_cast<double>(sample.outcome.bytes) / (1 << 20));
        gaps.push_back(sample.largestGapMs);
        const std::string word = ResultWord(sample.outcome.result);
        if (results.find(word) == std::string::npos) {
            results += (results.empty() ? "" : ", ") + word;
        }
        if (sample.outcome.result == platform::DumpResult::kFailed) {
            results += " (" + std::to_string(sample.outcome.error) + ")";
        }
    }
    std::printf("| %d MiB | %s | %s | %u (%u to %u) | %.1f | %lld |\n", mebibytes,
                kind == platform::DumpKind::kMini ? "mini" : "full", results.c_str(), Median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
                Median(mib), static_cast<long long>(Median(gaps)));
    std::fflush(stdout);
}

bool ReadOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--mib") {
            options->mebibytes.push_back(std::atoi(value));
        } else if (name == "--reps") {
            options->reps = std::max(1, std::atoi(value));
        } else if (name == "--limit-seconds") {
            options->limitMs = static_cast<uint32_t>(std::atoi(value)) * 1000;
        } else if (name == "--termination") {
            options->termination = std::atoi(value) != 0;
        } else if (name == "--kinds") {
            options->kinds.clear();
            if (std::strstr(value, "mini") != nullptr) {
                options->kinds.push_back(platform::DumpKind::kMini);
            }
            if (std::strstr(value, "full") != nullptr) {
                options->kinds.push_back(platform::DumpKind::kFull);
            }
        } else {
            return false;
        }
    }
    if (options->mebibytes.empty()) {
        options->mebibytes = {0, 1024};
    }
    return argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ReadOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: zelk_dump_bench [--mib N]... [--reps N] [--limit-seconds N] "
                     "[--kinds mini,full] [--termination 1]\n");
        return 2;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("zelk_dump_bench_" + std::to_string(platform::MonotonicMs()));
    std::filesystem::create_directories(folder);
    if (options.termination) {
        std::printf("Termination row to termination's end, medians of %d:\n\n", options.reps);
        std::printf(
            "| held memory | without dump ms (range) | with mini dump ms (range) | dump MiB |\n");
        std::printf("|---|---:|---:|---:|\n");
        for (int mebibytes : options.mebibytes) {
            std::vector<int64_t> without;
            std::vector<int64_t> with;
            std::vector<uint64_t> bytes;
            for (int rep = 0; rep < options.reps; ++rep) {
                uint64_t written = 0;
                without.push_back(RowToTermination(folder, mebibytes, false, &written));
                with.push_back(RowToTermination(folder, mebibytes, true, &written));
                bytes.push_back(written);
            }
            std::printf("| %d MiB | %lld (%lld to %lld) | %lld (%lld to %lld) | %.1f |\n",
                        mebibytes, static_cast<long long>(Median(without)),
                        static_cast<long long>(*std::min_element(without.begin(), without.end())),
                        static_cast<long long>(*std::max_element(without.begin(), without.end())),
                        static_cast<long long>(Median(with)),
                        static_cast<long long>(*std::min_element(with.begin(), with.end())),
                        static_cast<long long>(*std::max_element(with.begin(), with.end())),
                        static_cast<double>(Median(bytes)) / (1 << 20));
            std::fflush(stdout);
        }
        std::filesystem::remove_all(folder);
        return 0;
    }
    std::printf("Dumps of the stand-in, medians of %d (time limit %u s):\n\n", options.reps,
                options.limitMs / 1000);
    std::printf(
        "| held memory | kind | outcome | dump ms (range) | dump MiB | largest freeze ms |\n");
    std::printf("|---|---|---|---:|---:|---:|\n");
    for (int mebibytes : options.mebibytes) {
        for (platform::DumpKind kind : options.kinds) {
            std::vector<Sample> samples;
            for (int rep = 0; rep < options.reps; ++rep) {
                Sample sample;
                if (TakeSample(folder, mebibytes, kind, options.limitMs, &sample)) {
                    samples.push_back(sample);
                }
            }
            if (!samples.empty()) {
                PrintRow(mebibytes, kind, samples);
            }
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
