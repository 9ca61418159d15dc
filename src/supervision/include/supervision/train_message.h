// Train messages: what the watchdog reads from one ("time" and the serial of
// vehicle 1) and what it sets off (the result-file checks and, on a mismatch,
// the uninstall command).
#pragma once

#include <cstdint>
#include <string>

#include "supervision/app_config.h"
#include "supervision/command_state.h"
#include "supervision/file_checks.h"
#include "supervision/watchdog_events.h"
#include "supervision/watchdog_seams.h"

struct TrainReport {
    // A top-level "train" with a "time" child was found; without it the
    // message is ignored.
    bool hasTime = false;
    std::string trainKey;       // the "time" text without blanks, hyphens and colons
    std::string vehicleSerial;  // "serial" of the last "vagen" with "id" 1 that has one
    int32_t vehicles = 0;       // "vagen" elements after the "time"
};

// `timeText` with every " ", "-" and ":" removed, the rest kept in order.
std::string MakeTrainKey(const std::string& timeText);

// True when a train key may name a folder inside the picture folder: it is
// not ".", and it holds no backslash, no slash and no "..". A key that fails
// this would let the sending application point the result-file checks at the
// picture folder itself or at any other folder.
bool IsSafeTrainKey(const std::string& key);

// Parses the message and walks it: the first top-level "train", its first
// "time" child, then every later "vagen" child. Never fails: whatever is not
// found is reported as missing.
TrainReport ReadTrainMessage(const std::string& text);

// What a train message sets off, beside the command state.
struct TrainServices {
    FileCounter& files;
    ShellRunner& shell;
    WatchdogClock& clock;
    WatchdogSink& sink;
};

// Handles one train message consumed by the framer: reports the train (with
// `socketError`, the last socket error, as its code), runs the result-file
// checks and, on a mismatch, the uninstall step. A train key that could leave
// the picture folder is reported as refused and the checks are skipped for
// that train.
void HandleTrainMessage(const std::string& text, const AppConfig& config, int32_t socketError,
                        CommandState& state, TrainServices& services);
