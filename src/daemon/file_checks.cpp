#include "daemon/file_checks.h"

#include <cstdio>
#include <utility>

#include "daemon/daemon.h"
#include "daemon/log_sanitize.h"
#include "log/log.h"
#include "platform/directory.h"
#include "platform/system.h"

namespace {

// The checks log under the name of the watchdog thread that runs them.
constexpr char kWatchdogFunction[] = "CDaemon::DaemonThread";
constexpr char kPictureMark[] = "L001";

bool EndsWithSeparator(const std::string& folder) {
    const char last = folder.back();
    return last == '\\' || last == platform::kPathSeparator;
}

int32_t SizeOf(const FileList& list) {
    return static_cast<int32_t>(list.size());
}

}  // namespace

void CountMatchingFiles(std::string folder, std::string extension, FileList& list,
                        std::string key) {
    // An empty folder searches the root, as the Windows pattern "\*.ext" does.
    if (folder.empty() || !EndsWithSeparator(folder)) {
        folder += platform::kPathSeparator;
    }
    for (const std::string& name : platform::ListFolder(folder, extension)) {
        if ((key.empty() || name.find(key) != std::string::npos) &&
            name.find(kPictureMark) != std::string::npos) {
            list.push_back(folder + name);
        }
    }
}

void CDaemon::CountFiles(std::string folder, std::string extension, std::vector<std::string>& list,
                         std::string key) {
    CountMatchingFiles(std::move(folder), std::move(extension), list, std::move(key));
}

ResultFileCounts CheckResultFiles(const AppConfig& config, const std::string& trainKey,
                                  const std::string& vehicleSerial, FileCounter& counter,
                                  const SleepFunction& sleep) {
    ResultFileCounts counts;
    const char* name = config.name.c_str();
    const std::string loggedKey = SanitizeForLog(trainKey);

    for (int k = 0; k < kFileCheckTries; ++k) {
        if (!config.picMonitor.empty()) {
            FileList list;
            counter.CountFiles(config.picMonitor + trainKey, "jpg", list, std::string());
            counts.pictures += SizeOf(list);
        }
        if (counts.pictures != 0) {
            break;
        }
        WriteLog(LogLevel::kFatal, __LINE__, kWatchdogFunction, k,
                 "%s try find pic %s\\L001.jpg %d number of times", name, loggedKey.c_str(), k);
        sleep(kFileCheckRetryMs);
    }

    for (int k = 0; k < kFileCheckTries; ++k) {
        for (const std::string& folder : config.fileMonitor) {
            if (folder.empty()) {
                break;
            }
            FileList list;
            counter.CountFiles(folder, "xml", list, trainKey);
            counts.xmlFiles += SizeOf(list);
        }
        if (counts.xmlFiles != 0) {
            break;
        }
        WriteLog(LogLevel::kFatal, __LINE__, kWatchdogFunction, k,
                 "%s try find xml %s_L001.xml %d number of times", name, loggedKey.c_str(), k);
        sleep(kFileCheckRetryMs);
    }

    counts.mismatch = counts.pictures > 0 && counts.pictures != counts.xmlFiles &&
                      counts.xmlFiles != 2 && !vehicleSerial.empty();
    if (counts.mismatch) {
        WriteLog(LogLevel::kFatal, __LINE__, kWatchdogFunction, 0,
                 "%s find pic count:%d != find file count:%d", name, counts.pictures,
                 counts.xmlFiles);
        std::printf("find pic count:%d != find file count:%d\n", counts.pictures, counts.xmlFiles);
        std::fflush(stdout);
    }
    return counts;
}
