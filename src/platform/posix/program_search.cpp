#include "platform/program_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// The first word of `line` as the launcher's shell-like split reads it:
// single quotes keep everything, double quotes keep all but the escapes \"
// \\ \$ \`, a backslash outside quotes keeps the next character.
std::string FirstWord(const std::string& line) {
    std::string word;
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    for (; i < line.size() && !IsBlank(line[i]); ++i) {
        const char c = line[i];
        if (c == '\'') {
            const std::size_t close = std::min(line.find('\'', i + 1), line.size());
            word.append(line, i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                const bool escape = line[i] == '\\' && i + 1 < line.size() &&
                                    std::strchr("\"\\$`", line[i + 1]) != nullptr;
                i += escape ? 1 : 0;
                word += line[i];
            }
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    return word;
}

bool IsExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindProgram(const std::string& commandLine, const std::string& ownFolder) {
    const std::string word = FirstWord(commandLine);
    if (word.empty()) {
        return std::string();
    }
    if (word.find('/') != std::string::npos) {
        const std::string path = word[0] == '/' ? word : ownFolder + word;
        return IsExecutableFile(path) ? path : std::string();
    }
    // execvp's search: PATH, or the C library's default when it is unset; an
    // empty element is the current folder, which is taken to be ownFolder.
    const char* variable = std::getenv("PATH");
    const std::string searchPath = variable != nullptr ? variable : "/bin:/usr/bin";
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(searchPath.find(':', begin), searchPath.size());
        std::string folder = searchPath.substr(begin, end - begin);
        folder = folder.empty() ? ownFolder : folder + '/';
        if (IsExecutableFile(folder + word)) {
            return folder + word;
        }
        if (end == searchPath.size()) {
            return std::string();
        }
        begin = end + 1;
    }
}

}  // namespace platform
