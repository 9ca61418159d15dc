// A stand-in for a supervised application: writes the marker file named by
// its first argument, then lives for the seconds given by its second (60 by
// default) unless it is terminated first.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    if (argc > 1) {
        std::ofstream(argv[1]) << "started\n";
    }
    int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}
