// A stand-in for a hung application, for the dump tests and the dump
// figures: holds the MiB given by its third argument (0 by default) written
// once, runs a second thread that wakes every millisecond, writes "started"
// into the file named by its first argument, and lives for the seconds
// given by its second (60 by default). Whenever the waking thread finds it
// slept 10 ms or more (the process was frozen, e.g. for a dump), it appends
// "gap <milliseconds>" to that file.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    const std::string marker = argc > 1 ? argv[1] : std::string();
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const std::size_t mebibytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 0;
    std::vector<char> held(mebibytes << 20, 1);
    // Read back through a volatile pointer, so that the compiler keeps the memory.
    char* volatile escaped = held.data();

    std::atomic<bool> ready{false};
    std::thread ticker([&] {
        using Clock = std::chrono::steady_clock;
        auto last = Clock::now();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const auto now = Clock::now();
            const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - last);
            last = now;
            if (gap.count() >= 10 && ready.load() && !marker.empty()) {
                std::ofstream(marker, std::ios::app) << "gap " << gap.count() << "\n";
            }
        }
    });
    ticker.detach();
    if (!marker.empty()) {
        std::ofstream(marker) << "started\n";
    }
    ready = true;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return held.empty() ? 0 : escaped[0] - 1;
}
