#include "daemon/file_checks.h"

#include <utility>

#include "platform/directory.h"
#include "platform/system.h"

namespace {

constexpr char kPictureMark[] = "L001";

bool EndsWithSeparator(const std::string& folder) {
    const char last = folder.back();
    return last == '\\' || last == platform::kPathSeparator;
}

int32_t SizeOf(const FileList& list) {
    return static_cast<int32_t>(list.size());
}

void ReportTry(WatchdogSink& sink, WatchdogEventKind kind, const std::string& trainKey, int k) {
    WatchdogEvent event{kind};
    event.count = k;
    event.code = k;
    event.text = trainKey;
    sink.Report(event);
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

ResultFileCounts CheckResultFiles(const AppConfig& config, const std::string& trainKey,
                                  const std::string& vehicleSerial, FileCounter& counter,
                                  WatchdogClock& clock, WatchdogSink& sink) {
    ResultFileCounts counts;
    for (int k = 0; k < kFileCheckTries; ++k) {
        if (!config.picMonitor.empty()) {
            FileList list;
            counter.CountFiles(config.picMonitor + trainKey, "jpg", list, std::string());
            counts.pictures += SizeOf(list);
        }
        if (counts.pictures != 0) {
            break;
        }
        ReportTry(sink, WatchdogEventKind::kPictureTry, trainKey, k);
        clock.SleepMs(kFileCheckRetryMs);
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
        ReportTry(sink, WatchdogEventKind::kXmlTry, trainKey, k);
        clock.SleepMs(kFileCheckRetryMs);
    }

    counts.mismatch = counts.pictures > 0 && counts.pictures != counts.xmlFiles &&
                      counts.xmlFiles != 2 && !vehicleSerial.empty();
    if (counts.mismatch) {
        WatchdogEvent event{WatchdogEventKind::kMismatch};
        event.count = counts.pictures;
        event.second = counts.xmlFiles;
        sink.Report(event);
    }
    return counts;
}
