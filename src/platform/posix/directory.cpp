#include "platform/directory.h"

#include <dirent.h>
#include <strings.h>

#include <cstring>

namespace platform {

namespace {

// The wildcard "*.<extension>" of the Windows directory search, which
// ignores letter case.
bool HasExtension(const char* name, const std::string& extension) {
    if (extension.empty()) {
        return true;
    }
    const std::size_t length = std::strlen(name);
    if (length < extension.size() + 1) {
        return false;
    }
    const char* dot = name + length - extension.size() - 1;
    return *dot == '.' && strcasecmp(dot + 1, extension.c_str()) == 0;
}

}  // namespace

std::vector<std::string> ListFolder(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return names;
    }
    // readdir on distinct DIR streams is safe between threads.
    while (const dirent* entry = readdir(directory)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        if (HasExtension(name, extension)) {
            names.emplace_back(name);
        }
    }
    closedir(directory);
    return names;
}

}  // namespace platform
