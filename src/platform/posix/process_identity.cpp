#include "platform/process_identity.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {

// The state letter and the start time (the 3rd and 22nd fields) of
// /proc/<which>/stat. False with errno when the file cannot be read, false
// with errno 0 when it does not read as one.
bool ReadStat(const std::string& which, char* state, uint64_t* start) {
    const std::string path = "/proc/" + which + "/stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return false;
    }
    char text[1024] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    errno = 0;
    // The command name in parentheses may hold blanks and parentheses; the
    // fields go on after the last ')'.
    const char* close = std::strrchr(text, ')');
    if (got == 0 || close == nullptr || close[1] != ' ') {
        return false;
    }
    const char* field = close + 2;
    *state = *field;
    for (int skip = 3; skip < 22; ++skip) {
        field = std::strchr(field, ' ');
        if (field == nullptr) {
            return false;
        }
        ++field;
    }
    char* end = nullptr;
    *start = std::strtoull(field, &end, 10);
    return end != field;
}

}  // namespace

ProcessIdentity OwnProcess() {
    ProcessIdentity own;
    char state = 0;
    uint64_t start = 0;
    if (ReadStat("self", &state, &start)) {
        own.start = start;
    }
    own.id = static_cast<uint32_t>(getpid());
    return own;
}

ProcessLiveness ProcessRuns(const ProcessIdentity& identity) {
    char state = 0;
    uint64_t start = 0;
    if (ReadStat(std::to_string(identity.id), &state, &start)) {
        // A zombie has ended; only its parent has not collected it yet.
        const bool ended = state == 'Z' || state == 'X';
        return ended || (identity.start != 0 && start != identity.start) ? ProcessLiveness::kGone
                                                                         : ProcessLiveness::kRuns;
    }
    if (errno != ENOENT) {
        return ProcessLiveness::kUnknown;
    }
    // No such entry: gone, where /proc is there to tell.
    return ReadStat("self", &state, &start) ? ProcessLiveness::kGone : ProcessLiveness::kUnknown;
}

}  // namespace platform
