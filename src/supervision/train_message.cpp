#include "supervision/train_message.h"

#include <new>

#include "markup/markup.h"
#include "supervision/atoi_value.h"

namespace {

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
        ++report.vehicles;
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

bool IsSafeTrainKey(const std::string& key) {
    return key != "." && key.find('\\') == std::string::npos &&
           key.find('/') == std::string::npos && key.find("..") == std::string::npos;
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
    services.sink.Report(
        watchdog_event::Train{report.trainKey, report.vehicleSerial, report.vehicles, socketError});

    if (!IsSafeTrainKey(report.trainKey)) {
        services.sink.Report(watchdog_event::TrainKeyRefused{report.trainKey});
        return;
    }
    const ResultFileCounts counts = CheckResultFiles(config, report.trainKey, report.vehicleSerial,
                                                     services.files, services.clock, services.sink);
    if (counts.mismatch) {
        HandleMismatch(state, config, services.shell, services.sink);
    }
}
