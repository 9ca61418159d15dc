#include "daemon/train_message.h"

#include <cstdio>
#include <new>

#include "daemon/atoi_value.h"
#include "daemon/log_sanitize.h"
#include "log/log.h"
#include "markup/markup.h"

namespace {

constexpr char kWatchdogFunction[] = "CDaemon::DaemonThread";

// The walk itself; the engine's allocations may throw.
TrainReport WalkTrainMessage(const std::string& text) {
    TrainReport report;
    CXmlDocument document(text);
    document.ResetPosition();
    if (!document.FindElement("train")) {
        return report;
    }
    document.IntoElement();
    if (!document.FindElement("time")) {
        return report;
    }
    report.hasTime = true;
    report.trainKey = MakeTrainKey(document.GetElementText());
    while (document.FindElement("vagen")) {
        if (AtoiValue(document.GetAttribute("id")) == 1 && document.FindChildElement("serial")) {
            report.vehicleSerial = document.GetChildText();
        }
    }
    return report;
}

}  // namespace

std::string MakeTrainKey(const std::string& timeText) {
    std::string key;
    key.reserve(timeText.size());
    for (char c : timeText) {
        if (c != ' ' && c != '-' && c != ':') {
            key += c;
        }
    }
    return key;
}

TrainReport ReadTrainMessage(const std::string& text) {
    try {
        return WalkTrainMessage(text);
    } catch (const std::bad_alloc&) {
        // A message too large to index is treated as one without a train.
        return TrainReport();
    }
}

void HandleTrainMessage(const std::string& text, const AppConfig& config, int32_t socketError,
                        CommandState& state, TrainServices& services) {
    const TrainReport report = ReadTrainMessage(text);
    if (!report.hasTime) {
        return;
    }
    const std::string loggedKey = SanitizeForLog(report.trainKey);
    WriteLog(LogLevel::kTrace, __LINE__, kWatchdogFunction, socketError, "%s recv train date:%s",
             config.name.c_str(), loggedKey.c_str());
    std::printf("%s ==> recv:%s\n", config.name.c_str(), loggedKey.c_str());
    std::fflush(stdout);

    if (!IsSafeTrainKey(report.trainKey)) {
        WriteLog(LogLevel::kFatal, __LINE__, kWatchdogFunction, 0,
                 "%s refused train key %s: it could leave the picture folder, no file checks",
                 config.name.c_str(), loggedKey.c_str());
        return;
    }
    const ResultFileCounts counts = CheckResultFiles(config, report.trainKey, report.vehicleSerial,
                                                     services.files, services.sleep);
    if (counts.mismatch) {
        HandleMismatch(state, config, services.shell);
    }
}
