#include "platform/program_search.h"

#include <windows.h>

#include "platform/system.h"

namespace platform {

namespace {

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool HasFolder(const std::string& name) {
    return name.find_first_of("\\/") != std::string::npos || (name.size() >= 2 && name[1] == ':');
}

// CreateProcess adds ".exe" to a file name that has no extension.
std::string WithExtension(const std::string& name) {
    const std::size_t cut = name.find_last_of("\\/:");
    const std::size_t dot = name.find('.', cut == std::string::npos ? 0 : cut + 1);
    return dot == std::string::npos ? name + ".exe" : name;
}

// The file that one candidate module name stands for, or empty.
std::string Resolve(const std::string& name, const std::string& ownFolder) {
    if (name.empty()) {
        return std::string();
    }
    const std::string file = WithExtension(name);
    if (HasFolder(name)) {
        const bool rooted = IsAbsolutePath(file) || file[1] == ':';
        const std::string path = rooted ? file : ownFolder + file;
        return IsFile(path) ? path : std::string();
    }
    // The daemon's own folder comes first, as the folder a program loaded
    // from comes first for CreateProcess; then the system's search path.
    if (IsFile(ownFolder + file)) {
        return ownFolder + file;
    }
    char found[MAX_PATH + 1] = {};
    const DWORD length = SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH || !IsFile(found)) {
        return std::string();
    }
    return std::string(found, length);
}

}  // namespace

std::string FindProgram(const std::string& commandLine, const std::string& ownFolder) {
    const char* const blanks = " \t";
    std::size_t begin = commandLine.find_first_not_of(blanks);
    if (begin == std::string::npos) {
        return std::string();
    }
    if (commandLine[begin] == '"') {
        const std::size_t close = commandLine.find('"', begin + 1);
        const std::size_t end = close == std::string::npos ? commandLine.size() : close;
        return Resolve(commandLine.substr(begin + 1, end - begin - 1), ownFolder);
    }
    // An unquoted line: the name ends at the first blank whose prefix names
    // a file, or at the end of the line.
    std::size_t at = begin;
    for (;;) {
        const std::size_t blank = commandLine.find_first_of(blanks, at);
        const std::string found = Resolve(commandLine.substr(begin, blank - begin), ownFolder);
        if (!found.empty() || blank == std::string::npos) {
            return found;
        }
        at = commandLine.find_first_not_of(blanks, blank);
        if (at == std::string::npos) {
            return std::string();
        }
    }
}

}  // namespace platform
