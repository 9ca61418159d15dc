#include "zelkctl/journal_source.h"

#include <algorithm>
#include <ctime>

#include "daemon/platform_config.h"
#include "journal/file_name.h"
#include "journal/line.h"
#include "journal/time_format.h"
#include "markup/markup.h"
#include "platform/directory.h"
#include "platform/folder_probe.h"
#include "platform/system.h"
#include "supervision/config_walk.h"
#include "zelkctl/command_support.h"

namespace zelkctl {

namespace {

// A day of 20 applications in a restart storm writes about 25 MB; a file
// this large is no journal file.
constexpr int32_t kMaxJournalFileBytes = 1024 * 1024 * 1024;

}  // namespace

int SystemZone::OffsetMinutesAt(int64_t utcSeconds) const {
    std::tm local{};
    if (!platform::LocalTime(utcSeconds, &local)) {
        return 0;
    }
    return journal::UtcOffsetMinutes(utcSeconds, local);
}

bool FindJournalFolder(const JournalChoice& choice, std::string* folder, std::string* error) {
    if (!choice.journalFolder.empty()) {
        *folder = NormaliseFolder(choice.journalFolder, platform::kPathSeparator);
        return true;
    }
    std::string found;
    std::string configPath;
    const auto journalFolder = [](CXmlDocument& document, const std::string& daemonFolder) {
        return JournalSettingsOf(document, daemonFolder, PlatformFacts()).folder;
    };
    if (!FolderFromConfig(choice.configPath, "--journal", journalFolder, &found, &configPath,
                          error)) {
        if (error->empty()) {
            *error = configPath +
                     " has no <journal folder=\"...\"/> element: the daemon keeps no event journal";
        }
        return false;
    }
    *folder = NormaliseFolder(found, platform::kPathSeparator);
    return true;
}

std::vector<JournalFile> ListJournalFiles(const std::string& folder) {
    std::vector<JournalFile> files;
    for (const std::string& name : platform::ListFolder(folder, std::string())) {
        int64_t day = 0;
        if (journal::DayOfFileName(name, &day)) {
            files.push_back({day, folder + name});
        }
    }
    std::sort(files.begin(), files.end(),
              [](const JournalFile& a, const JournalFile& b) { return a.day < b.day; });
    return files;
}

bool ReadJournalFile(const std::string& path, std::string* text, std::string* error) {
    // Never through a link: the daemon writes none, and one planted there
    // would have zelkctl, perhaps run as root, read what it points to.
    return ReadSmallFile(path, kMaxJournalFileBytes, "journal file", text, error, Links::kRefuse);
}

bool OpenJournal(const JournalChoice& choice, std::vector<JournalFile>* files,
                 std::string* folder) {
    std::string error;
    if (!FindJournalFolder(choice, folder, &error)) {
        TellError(error);
        return false;
    }
    *files = ListJournalFiles(*folder);
    if (files->empty()) {
        TellError(platform::FolderExists(*folder)
                      ? "no journal files (zelk-events-YYYY-MM-DD.jsonl) in " + *folder +
                            " (or it cannot be read)"
                      : "no journal folder " + *folder + ": it does not exist or is no folder");
        return false;
    }
    return true;
}

void PlanFiles(const std::vector<JournalFile>& files, int64_t fromDay, int64_t toDay,
               std::size_t* first, std::size_t* last) {
    std::size_t begin = 0;
    while (begin < files.size() && files[begin].day < fromDay) {
        ++begin;
    }
    // Back from the day before the range for a start of the daemon; a file
    // that cannot be read is passed over here and reported when read.
    std::size_t start = begin;
    while (start > 0) {
        --start;
        std::string text;
        std::string ignored;
        if (ReadJournalFile(files[start].path, &text, &ignored) &&
            journal::MentionsDaemonStart(text)) {
            break;
        }
    }
    std::size_t end = begin;
    while (end < files.size() && files[end].day <= toDay) {
        ++end;
    }
    *first = start;
    *last = end < files.size() ? end : files.size() - 1;
}

bool ReadFiles(const std::vector<JournalFile>& files, std::size_t first, std::size_t last,
               FileReading* reading) {
    bool allRead = true;
    std::string text;  // one buffer for every file
    for (std::size_t i = first; i <= last; ++i) {
        std::string error;
        if (!ReadJournalFile(files[i].path, &text, &error)) {
            if (files[i].day < reading->fromDay) {
                TellError(error +
                          " (a file before the range: the states at its start may be "
                          "incomplete)");
            } else {
                TellError(error);
                allRead = false;
            }
            continue;
        }
        reading->suspect.afterMs = SuspectAfter(reading->zone, files[i].day);
        reading->skipped += ReadJournalText(
            text, reading->take,
            files[i].day > reading->lastFullDay ? reading->stopAtMs : INT64_MAX, &reading->suspect);
        if (reading->fileDone) {
            reading->fileDone();
        }
    }
    return allRead;
}

void TellSkipped(const FileReading& reading, const char* suspectFate) {
    for (const std::string& note : {SkippedLinesNote(reading.skipped),
                                    SuspectEventsNote(reading.suspect.count, suspectFate)}) {
        if (!note.empty()) {
            TellError(note);
        }
    }
}

}  // namespace zelkctl
