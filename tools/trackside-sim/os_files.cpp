// The simulator's file writes: the C library's, the same on every platform.
#include <cstdio>

#include "trackside-sim/os.h"

namespace simos {

namespace {
bool WriteFile(const std::string& path, const std::string& bytes, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    return WriteFile(path, bytes, "wb");
}

bool AppendToFile(const std::string& path, const std::string& text) {
    return WriteFile(path, text, "ab");
}

}  // namespace simos
