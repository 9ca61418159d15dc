#include "platform/system.h"

#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string FolderOf(const std::string& path) {
    std::size_t cut = path.find_last_of(kPathSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepMs(unsigned milliseconds) {
    timespec request{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
    timespec remaining{};
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR) {
        request = remaining;
    }
}

void DebugOutput(const char* text) {
    syslog(LOG_USER | LOG_WARNING, "%s", text);
}

int64_t CurrentTime() {
    return static_cast<int64_t>(time(nullptr));
}

int64_t CurrentTimeMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool LocalTime(int64_t seconds, std::tm* out) {
    time_t t = static_cast<time_t>(seconds);
    std::tm result{};
    if (localtime_r(&t, &result) == nullptr) {
        return false;
    }
    *out = result;
    return true;
}

}  // namespace platform
