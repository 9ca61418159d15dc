#include "platform/system.h"

#include <windows.h>

#include <time.h>

namespace platform {

std::string ExecutablePath() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return std::string();
    }
    return std::string(buffer, n);
}

std::string FolderOf(const std::string& path) {
    std::size_t cut = path.find_last_of(kPathSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        return true;
    }
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

int64_t MonotonicMs() {
    return static_cast<int64_t>(GetTickCount64());
}

void SleepMs(unsigned milliseconds) {
    Sleep(milliseconds);
}

void DebugOutput(const char* text) {
    OutputDebugStringA(text);
}

int64_t CurrentTime() {
    return static_cast<int64_t>(_time64(nullptr));
}

int64_t CurrentTimeMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    // 100-nanosecond ticks since 1601; the epoch is 11644473600 seconds later.
    return static_cast<int64_t>(ticks.QuadPart / 10000) - 11644473600000LL;
}

bool LocalTime(int64_t seconds, std::tm* out) {
    __time64_t t = static_cast<__time64_t>(seconds);
    std::tm result{};
    if (_localtime64_s(&result, &t) != 0) {
        return false;
    }
    *out = result;
    return true;
}

}  // namespace platform
