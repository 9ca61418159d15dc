// Checks the log files a fuzz target wrote: every line must keep the log's
// line format, so that nothing taken from the input can end a line early or
// forge a line of its own. Then the files are removed, so the folder stays small.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "fuzz_check.h"

inline std::vector<std::string> LogFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    const std::string logs = folder + "ZELK_LOG/";
    if (DIR* dir = opendir(logs.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                files.push_back(logs + name);
            }
        }
        closedir(dir);
    }
    return files;
}

inline void CheckAndClearLogFolder(const std::string& folder) {
    static const std::regex kLine(
        "--(FATAL|WARNING|MONITOR|NOTICE|TRACE|DEBUG)-- "
        "\\[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "\\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\\]  \\[Line:\\d{4,}\\]  (\\S+) : (-?\\d+) , "
        "([^\\r]*)\\r?");
    for (const std::string& path : LogFilesIn(folder)) {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!std::regex_match(line, kLine)) {
                std::fprintf(stderr, "log line out of format: %s\n", line.c_str());
                FUZZ_CHECK(!"log line out of format");
            }
        }
        unlink(path.c_str());
    }
}

inline void RemoveLogFolder(const std::string& folder) {
    for (const std::string& path : LogFilesIn(folder)) {
        unlink(path.c_str());
    }
    rmdir((folder + "ZELK_LOG").c_str());
    rmdir(folder.c_str());
}
