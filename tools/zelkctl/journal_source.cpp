#include "zelkctl/journal_source.h"

#include <algorithm>
#include <cstdio>

#include "daemon/platform_config.h"
#include "journal/file_name.h"
#include "markup/markup.h"
#include "platform/directory.h"
#include "platform/file_read.h"
#include "platform/folder_probe.h"
#include "platform/system.h"
#include "supervision/config_walk.h"
#include "zelkctl/commands.h"

namespace zelkctl {

namespace {

// A day of 20 applications in a restart storm writes about 25 MB; a file
// this large is no journal file.
constexpr int32_t kMaxJournalFileBytes = 1024 * 1024 * 1024;

}  // namespace

bool FindJournalFolder(const Options& options, std::string* folder, std::string* error) {
    if (!options.journalFolder.empty()) {
        *folder = NormaliseFolder(options.journalFolder, platform::kPathSeparator);
        return true;
    }
    std::string found;
    std::string configPath;
    const auto journalFolder = [](CXmlDocument& document, const std::string& daemonFolder) {
        return JournalSettingsOf(document, daemonFolder, PlatformFacts()).folder;
    };
    if (!FolderFromConfig(options, "--journal", journalFolder, &found, &configPath, error)) {
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
    return ReadSmallFile(path, kMaxJournalFileBytes, "journal file", text, error);
}

}  // namespace zelkctl
