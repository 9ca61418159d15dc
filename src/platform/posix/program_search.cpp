#include "platform/program_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "posix/command_line.h"

namespace platform {

namespace {

// The program is the first word, as the launcher splits the command line.
std::string FirstWord(const std::string& line) {
    const std::vector<std::string> words = SplitCommandLine(line);
    return words.empty() ? std::string() : words.front();
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
