// zelk_bench: our XML engine against its peers on generated corpora, then
// the supervisor's own figures. Prints Markdown tables.
//
//   zelk_bench [--corpora DIR] [--reps N] [--skip-supervisor] [--watch-seconds N]
//              [--status-seconds N] [--daemon EXE]
//
// Peak memory is measured in a child process per engine and corpus (this
// same executable with --child-memory): the child reads the corpus, resets
// the kernel's peak resident size (/proc/self/clear_refs), parses once and
// reports the peak minus the resident size before the parse, i.e. what the
// engine needed beyond the caller's copy of the text.
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_parts.h"
#include "engine.h"
#include "measure.h"

#ifndef ZELK_DAEMON_EXE
#define ZELK_DAEMON_EXE ""
#endif

const std::vector<EngineInfo>& Engines() {
    static const std::vector<EngineInfo> engines = {
        {"ours", MakeZelkEngine},
        {"pugixml", MakePugixmlEngine},
        {"pugixml-min", MakePugixmlMinimalEngine},
        {"rapidxml", MakeRapidxmlEngine},
        {"tinyxml2", MakeTinyxml2Engine},
        {"expat", MakeExpatEngine},
        {"libxml2", MakeLibxml2Engine},
    };
    return engines;
}

namespace {

const EngineInfo* FindEngine(const std::string& name) {
    for (const EngineInfo& info : Engines())
        if (name == info.name)
            return &info;
    return nullptr;
}

std::string SelfPath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "zelk_bench";
    path[n] = '\0';
    return path;
}

// Bytes the C heap has handed out and not taken back (small blocks plus
// blocks mapped on their own).
int64_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

// --child-memory ENGINE FILE: prints "peak <bytes> reset <0|1> ok <0|1> heap <bytes>":
// the rise of the peak resident size during one parse, and the heap the
// parsed document holds afterwards.
int ChildMemory(const std::string& engineName, const std::string& path) {
    const EngineInfo* info = FindEngine(engineName);
    if (!info)
        return 2;
    std::string input = ReadWholeFile(path);
    std::unique_ptr<Engine> engine = info->make();
    const int64_t heapBefore = HeapInUse();
    const int64_t before = StatusBytes("VmRSS");
    const bool reset = ResetPeakResident();
    const bool ok = engine->Parse(input);
    const int64_t peak = StatusBytes("VmHWM");
    const int64_t heap = HeapInUse() - heapBefore;
    std::printf("peak %" PRId64 " reset %d ok %d heap %" PRId64 "\n", peak - before, reset ? 1 : 0,
                ok ? 1 : 0, heap);
    return 0;
}

// --child-survive ENGINE FILE: parses once; prints "ok" or "refused" and the time.
int ChildSurvive(const std::string& engineName, const std::string& path) {
    const EngineInfo* info = FindEngine(engineName);
    if (!info)
        return 2;
    std::string input = ReadWholeFile(path);
    std::unique_ptr<Engine> engine = info->make();
    const double t0 = NowSeconds();
    const bool ok = engine->Parse(input);
    const double t1 = NowSeconds();
    engine->Release();
    std::printf("%s %.3f\n", ok ? "well-formed" : "refused/ill-formed", t1 - t0);
    return 0;
}

// --profile ENGINE FILE N parse|walk: N parses (or parses and walks), for
// running under perf or callgrind; prints the seconds taken.
int Profile(const std::string& engineName, const std::string& path, int n,
            const std::string& mode) {
    const EngineInfo* info = FindEngine(engineName);
    if (!info)
        return 2;
    std::string input = ReadWholeFile(path);
    std::unique_ptr<Engine> engine = info->make();
    WalkSums sums;
    const double t0 = NowSeconds();
    const double cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < n; ++i) {
        engine->Release();
        if (mode == "walk")
            engine->ParseAndWalk(input, &sums);
        else
            engine->Parse(input);
    }
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall = NowSeconds() - t0;
    std::printf("%.3f s, %.0f MB/s (thread CPU %.3f s, %.0f MB/s)\n", wall,
                static_cast<double>(input.size()) * n / wall / 1e6, cpu,
                static_cast<double>(input.size()) * n / cpu / 1e6);
    return 0;
}

// --ratio FILE parse|walk ROUNDS: ours against pugixml on one corpus,
// rounds of interleaved samples; prints both medians and the ratio. For
// quick checks while changing the engine; the tables come from the full run.
int Ratio(const std::string& path, const std::string& mode, int rounds) {
    const std::string input = ReadWholeFile(path);
    const EngineInfo* infos[2] = {FindEngine("ours"), FindEngine("pugixml")};
    std::unique_ptr<Engine> engines[2] = {infos[0]->make(), infos[1]->make()};
    std::vector<double> samples[2];
    int k = 1;
    {
        const double t0 = ThreadCpuSeconds();
        engines[1]->Parse(input);
        engines[1]->Release();
        const double once = ThreadCpuSeconds() - t0;
        k = once > 0.05 ? 1 : static_cast<int>(0.05 / (once + 1e-9)) + 1;
    }
    for (int r = 0; r < rounds; ++r) {
        for (int e = 0; e < 2; ++e) {
            Engine& engine = *engines[e];
            WalkSums sums;
            const double t0 = ThreadCpuSeconds();
            for (int i = 0; i < k; ++i) {
                if (mode == "walk")
                    engine.ParseAndWalk(input, &sums);
                else
                    engine.Parse(input);
                engine.Release();
            }
            samples[e].push_back((ThreadCpuSeconds() - t0) / k);
        }
    }
    const double ours = Median(samples[0]);
    const double pugi = Median(samples[1]);
    std::printf("%s %s: ours %.1f us, pugixml %.1f us, ratio %.2fx\n", path.c_str(), mode.c_str(),
                ours * 1e6, pugi * 1e6, pugi / ours);
    return 0;
}

struct Cell {
    bool ok = false;
    bool walked = false;
    double parseSeconds = 0;
    double walkSeconds = 0;
    WalkSums sums;
    int64_t peakBytes = -1;
    int64_t heapBytes = -1;
    bool peakReset = true;
};

struct Corpus {
    const char* file;
    const char* label;
};

const Corpus kCorpora[] = {
    {"train.xml", "train 4 KB"}, {"config.xml", "config 100 KB"}, {"attr.xml", "attr 50 MB"},
    {"text.xml", "text 50 MB"},  {"deep.xml", "deep 10k"},
};

void PrintTables(std::map<std::string, std::vector<Cell>>& cells,
                 std::map<std::string, size_t>& sizes);
void PrintSurvival(const std::string& self, const std::string& corpora);

// CPU seconds per call of `call` followed by `release` (a document's whole
// life), averaged over `k` calls.
template <typename Call, typename Release>
double TimeSample(int k, Call call, Release release) {
    const double t0 = ThreadCpuSeconds();
    for (int i = 0; i < k; ++i) {
        call();
        release();
    }
    return (ThreadCpuSeconds() - t0) / k;
}

void RunParserBench(const std::string& corpora, int reps) {
    const std::string self = SelfPath();
    const auto& engines = Engines();
    std::map<std::string, std::vector<Cell>> cells;  // corpus -> per engine
    std::map<std::string, size_t> sizes;
    for (const Corpus& corpus : kCorpora) {
        const std::string path = corpora + "/" + corpus.file;
        const std::string input = ReadWholeFile(path);
        sizes[corpus.file] = input.size();
        std::fprintf(stderr, "parsing %s (%zu bytes)\n", corpus.file, input.size());
        std::vector<Cell>& row = cells[corpus.file];
        row.resize(engines.size());
        std::vector<std::unique_ptr<Engine>> made;
        std::vector<int> iterations(engines.size(), 1);
        std::vector<std::vector<double>> parseSamples(engines.size()), walkSamples(engines.size());
        for (size_t e = 0; e < engines.size(); ++e) {
            made.push_back(engines[e].make());
            Engine& engine = *made.back();
            const double t0 = ThreadCpuSeconds();
            row[e].ok = engine.Parse(input);
            const double once = ThreadCpuSeconds() - t0;
            engine.Release();
            if (!row[e].ok)
                continue;
            // Enough calls per sample for about 100 ms.
            iterations[e] = once > 0.1 ? 1 : static_cast<int>(0.1 / (once + 1e-9)) + 1;
            if (engine.CanWalk()) {
                row[e].walked = engine.ParseAndWalk(input, &row[e].sums);
                engine.Release();
            }
        }
        // Rounds over all engines, so that a change of the machine's load
        // falls on every engine alike.
        for (int r = 0; r < reps; ++r) {
            for (size_t e = 0; e < engines.size(); ++e) {
                if (!row[e].ok)
                    continue;
                Engine& engine = *made[e];
                parseSamples[e].push_back(TimeSample(
                    iterations[e], [&] { engine.Parse(input); }, [&] { engine.Release(); }));
                if (row[e].walked) {
                    WalkSums sums;
                    walkSamples[e].push_back(TimeSample(
                        iterations[e], [&] { engine.ParseAndWalk(input, &sums); },
                        [&] { engine.Release(); }));
                }
                engine.Release();
            }
        }
        for (size_t e = 0; e < engines.size(); ++e) {
            row[e].parseSeconds = Median(parseSamples[e]);
            row[e].walkSeconds = Median(walkSamples[e]);
            int status = 0;
            const std::string out =
                RunCapture(self + " --child-memory " + engines[e].name + " " + path, &status);
            long long peak = -1, heap = -1;
            int reset = 0, ok = 0;
            if (WIFEXITED(status) && std::sscanf(out.c_str(), "peak %lld reset %d ok %d heap %lld",
                                                 &peak, &reset, &ok, &heap) == 4) {
                row[e].peakBytes = peak;
                row[e].heapBytes = heap;
                row[e].peakReset = reset != 0;
            }
        }
    }

    PrintTables(cells, sizes);
    PrintSurvival(self, corpora);
}

bool Walks(size_t e) {
    return std::strcmp(Engines()[e].name, "pugixml-min") != 0;
}

void PrintHeader(const char* title) {
    std::printf("\n%s\n\n| engine |", title);
    for (const Corpus& c : kCorpora)
        std::printf(" %s |", c.label);
    std::printf("\n|---|");
    for (size_t i = 0; i < sizeof kCorpora / sizeof kCorpora[0]; ++i)
        std::printf("---:|");
    std::printf("\n");
}

void PrintTables(std::map<std::string, std::vector<Cell>>& cells,
                 std::map<std::string, size_t>& sizes) {
    const auto& engines = Engines();
    std::printf("\nSizes:");
    for (const Corpus& c : kCorpora)
        std::printf(" %s %zu bytes;", c.file, sizes[c.file]);
    std::printf("\n");
    for (int walk = 0; walk < 2; ++walk) {
        PrintHeader(
            walk ? "Parse plus full walk, MB/s (10^6 bytes of input per second; ratio to pugixml)"
                 : "Parse from memory, MB/s (10^6 bytes of input per second; ratio to pugixml)");
        for (size_t e = 0; e < engines.size(); ++e) {
            if (walk && !Walks(e))
                continue;
            std::printf("| %s |", engines[e].name);
            for (const Corpus& c : kCorpora) {
                const Cell& cell = cells[c.file][e];
                const Cell& pugi = cells[c.file][1];
                const double t = walk ? cell.walkSeconds : cell.parseSeconds;
                const double tp = walk ? pugi.walkSeconds : pugi.parseSeconds;
                if (!cell.ok || (walk && !cell.walked) || t <= 0) {
                    std::printf(" refused |");
                    continue;
                }
                const double mbs = static_cast<double>(sizes[c.file]) / t / 1e6;
                if (tp > 0)
                    std::printf(" %.0f (%.2fx) |", mbs, tp / t);
                else
                    std::printf(" %.0f |", mbs);
            }
            std::printf("\n");
        }
    }
    for (int heap = 0; heap < 2; ++heap) {
        PrintHeader(heap ? "Heap held by the parsed document (malloc accounting), as a multiple of "
                           "the input size"
                         : "Peak resident memory of one parse beyond the caller's input, as a "
                           "multiple of the input size");
        for (size_t e = 0; e < engines.size(); ++e) {
            std::printf("| %s |", engines[e].name);
            for (const Corpus& c : kCorpora) {
                const Cell& cell = cells[c.file][e];
                const int64_t bytes = heap ? cell.heapBytes : cell.peakBytes;
                if (bytes < 0 || !cell.ok) {
                    std::printf(" - |");
                    continue;
                }
                std::printf(" %.2f%s |", static_cast<double>(bytes) / sizes[c.file],
                            heap || cell.peakReset ? "" : " (no reset)");
            }
            std::printf("\n");
        }
        std::printf("| goal: text + 32 B/element |");
        for (const Corpus& c : kCorpora) {
            const Cell& ours = cells[c.file][0];
            std::printf(
                " %.2f |",
                (static_cast<double>(sizes[c.file]) + 32.0 * ours.sums.elements) / sizes[c.file]);
        }
        std::printf("\n");
    }
    PrintHeader("What each walk read: elements / attributes / value bytes / text bytes");
    for (size_t e = 0; e < engines.size(); ++e) {
        if (!Walks(e))
            continue;
        std::printf("| %s |", engines[e].name);
        for (const Corpus& c : kCorpora) {
            const WalkSums& s = cells[c.file][e].sums;
            std::printf(" %" PRIu64 " / %" PRIu64 " / %" PRIu64 " / %" PRIu64 " |", s.elements,
                        s.attributes, s.valueBytes, s.textBytes);
        }
        std::printf("\n");
    }
}

// Each engine parses the 1,000,000-deep document in a child process.
void PrintSurvival(const std::string& self, const std::string& corpora) {
    std::printf("\nNesting 1,000,000 deep (deep_1m.xml), one parse in a child process:\n\n");
    std::printf("| engine | outcome | seconds |\n|---|---|---:|\n");
    for (const EngineInfo& info : Engines()) {
        int status = 0;
        const std::string out = RunCapture(
            self + " --child-survive " + info.name + " " + corpora + "/deep_1m.xml 2>/dev/null",
            &status);
        char word[32] = "";
        double seconds = 0;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
            std::sscanf(out.c_str(), "%31s %lf", word, &seconds) == 2)
            std::printf("| %s | %s | %.3f |\n", info.name, word, seconds);
        else if (WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) > 128))
            std::printf("| %s | crashed (signal %d) | - |\n", info.name,
                        WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status) - 128);
        else
            std::printf("| %s | failed (status %d) | - |\n", info.name, status);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child-memory") == 0)
        return ChildMemory(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--child-survive") == 0)
        return ChildSurvive(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "--ratio") == 0)
        return Ratio(argv[2], argv[3], std::atoi(argv[4]));
    if (argc == 6 && std::strcmp(argv[1], "--profile") == 0)
        return Profile(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
    std::string corpora = "build/bench/corpora";
    std::string daemonExe = ZELK_DAEMON_EXE;
    int reps = 5;
    int watchSeconds = 30;
    int statusSeconds = 120;
    bool parsers = true, load = true, supervisor = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--corpora" && i + 1 < argc)
            corpora = argv[++i];
        else if (arg == "--reps" && i + 1 < argc)
            reps = std::atoi(argv[++i]);
        else if (arg == "--watch-seconds" && i + 1 < argc)
            watchSeconds = std::atoi(argv[++i]);
        else if (arg == "--status-seconds" && i + 1 < argc)
            statusSeconds = std::atoi(argv[++i]);
        else if (arg == "--daemon" && i + 1 < argc)
            daemonExe = argv[++i];
        else if (arg == "--skip-parsers")
            parsers = false;
        else if (arg == "--skip-load")
            load = false;
        else if (arg == "--skip-supervisor")
            supervisor = false;
        else {
            std::fprintf(stderr,
                         "usage: zelk_bench [--corpora DIR] [--reps N] [--watch-seconds N] "
                         "[--status-seconds N] [--daemon EXE] [--skip-parsers] [--skip-load] "
                         "[--skip-supervisor]\n");
            return 2;
        }
    }
    if (reps < 1)
        reps = 1;
    if (parsers)
        RunParserBench(corpora, reps);
    if (load)
        RunLoadFileBench(corpora, reps);
    if (supervisor) {
        RunFramingBench(reps);
        RunLogBench();
        if (!daemonExe.empty()) {
            RunWatchdogBench(daemonExe, watchSeconds);
            RunStatusWriteBench(daemonExe, statusSeconds);
        }
    }
    return 0;
}
