#include "supervision/file_checks.h"

namespace {

int32_t SizeOf(const FileList& list) {
    return static_cast<int32_t>(list.size());
}

// Reports the failed try `k` (0 for the first) as a `Try`.
template <typename Try>
void ReportTry(WatchdogSink& sink, const std::string& trainKey, int k) {
    sink.Report(Try{trainKey, k + 1});
}

}  // namespace

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
        ReportTry<watchdog_event::PictureTry>(sink, trainKey, k);
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
        ReportTry<watchdog_event::XmlTry>(sink, trainKey, k);
        clock.SleepMs(kFileCheckRetryMs);
    }

    counts.mismatch = counts.pictures > 0 && counts.pictures != counts.xmlFiles &&
                      counts.xmlFiles != 2 && !vehicleSerial.empty();
    if (counts.mismatch) {
        sink.Report(watchdog_event::Mismatch{trainKey, counts.pictures, counts.xmlFiles});
    }
    return counts;
}
