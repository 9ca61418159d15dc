// The result-file checks after a train: count the train's pictures and XML
// result files, a few times one second apart, and compare the two counts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "daemon/app_config.h"

using FileList = std::vector<std::string>;

// Appends to `list` the full path of every entry of `folder` (files and
// sub-folders alike) whose name ends in "." and `extension` (letter case
// ignored; an empty extension takes every entry), contains "L001" and, when
// `key` is not empty, contains `key` (both tests exact, anywhere in the name).
// A missing or unreadable folder adds nothing. Keeps no state: several
// threads may call it at once.
void CountMatchingFiles(std::string folder, std::string extension, FileList& list, std::string key);

// How the checks reach the file system; tests substitute a fake.
class FileCounter {
  public:
    virtual ~FileCounter() = default;
    // Same contract as CountMatchingFiles.
    virtual void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                            const std::string& key) = 0;
};

// The real file system.
class DirectoryFileCounter final : public FileCounter {
  public:
    void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                    const std::string& key) override {
        CountMatchingFiles(folder, extension, list, key);
    }
};

// Waits between tries; production passes platform::SleepMs.
using SleepFunction = std::function<void(unsigned milliseconds)>;

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
// failed try logged and followed by a pause), then the XML files with the
// train key in the fileMonitor folders up to the first empty one (the same
// way), and logs and prints a mismatch. `trainKey` must already have been
// found safe to join to a folder. The caller runs the uninstall command when
// `mismatch` is set.
ResultFileCounts CheckResultFiles(const AppConfig& config, const std::string& trainKey,
                                  const std::string& vehicleSerial, FileCounter& counter,
                                  const SleepFunction& sleep);
