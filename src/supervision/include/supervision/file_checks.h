// The result-file checks after a train: count the train's pictures and XML
// result files, a few times one second apart, and compare the two counts.
#pragma once

#include <cstdint>
#include <string>

#include "supervision/app_config.h"
#include "supervision/watchdog_events.h"
#include "supervision/watchdog_seams.h"

// Pause between two tries of the same kind, and the number of tries.
constexpr unsigned kFileCheckRetryMs = 1000;
constexpr int kFileCheckTries = 3;

struct ResultFileCounts {
    int32_t pictures = 0;
    int32_t xmlFiles = 0;
    // Pictures found, their number differs from the XML files', the XML count
    // is not 2, and the vehicle serial is not empty: the uninstall command is due.
    bool mismatch = false;
};

// Counts the pictures in config.picMonitor + trainKey (up to three tries, each
// failed try reported and followed by a pause), then the XML files with the
// train key in the fileMonitor folders up to the first empty one (the same
// way), and reports a mismatch. `trainKey` must already have been found safe
// to join to a folder. The caller runs the uninstall command when `mismatch`
// is set.
ResultFileCounts CheckResultFiles(const AppConfig& config, const std::string& trainKey,
                                  const std::string& vehicleSerial, FileCounter& counter,
                                  WatchdogClock& clock, WatchdogSink& sink);
