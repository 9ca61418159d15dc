// What a reload of config.xml changes: the old and the new application lists
// compared per application, and which of the settings beside them moved.
// Pure: the daemon decides what to do with each difference.
#pragma once

#include <string>
#include <vector>

#include "supervision/app_config.h"
#include "supervision/config_walk.h"

enum class AppChange {
    kUnchanged,  // every setting the same: its watchdog is not touched
    kChanged,    // same name, some setting moved: its watchdog is replaced
    kAdded,      // only in the new file: a new watchdog
    kRemoved,    // only in the old file: its watchdog ends, its processes run on
};

struct AppDifference {
    AppChange change = AppChange::kUnchanged;
    std::string name;
    int oldIndex = -1;  // in the old list; -1 for an added one
    int newIndex = -1;  // in the new list; -1 for a removed one
    // kChanged: the settings that moved, as config.xml names them ("port",
    // "path", "fileMonitor", ...), in the record's order.
    std::vector<std::string> fields;
};

// Pairs the applications by name (the k-th of a name in the old list with
// the k-th of it in the new one). The result lists the old list's entries in
// its order, then the added ones in the new list's order.
std::vector<AppDifference> DiffApplications(const std::vector<AppConfig>& before,
                                            const std::vector<AppConfig>& after);

// The settings config.xml holds beside the applications.
struct ConfigOptions {
    std::string statusFolder;  // empty: no snapshot
    JournalSettings journal;
    ControlSettings control;
    EvidenceSettings evidence;
};

// The names of the option elements whose settings differ ("status",
// "journal", "control", "evidence"), in that order.
std::vector<std::string> DiffOptions(const ConfigOptions& before, const ConfigOptions& after);

// "unchanged", "changed", "added", "removed".
const char* AppChangeName(AppChange change);

class ConfigProbe;
enum class Pitfall;

// The options of a loaded document, as the daemon in `daemonFolder` reads them.
ConfigOptions ConfigOptionsOf(CXmlDocument& document, const std::string& daemonFolder,
                              const SystemFacts& facts);

// Whether a finding of the config check stops a reload: a file the daemon
// would not use, or applications it would watch wrongly (no endpoint, two on
// one endpoint or one name, no name). The other findings are told, and the
// reload goes on, as the daemon's start goes on with them.
bool BlocksReload(Pitfall pitfall);

// What a reload of config.xml would do.
struct ReloadPlan {
    bool refused = false;               // a finding blocks it: nothing changes
    std::vector<std::string> findings;  // every finding, as zelkctl check prints them
    std::vector<AppConfig> apps;        // the new file's records, in order
    ConfigOptions options;              // the new file's options
    std::vector<AppDifference> differences;
    std::vector<std::string> optionChanges;  // DiffOptions' names
};

// Loads and checks `configPath` as the daemon in `daemonFolder` reads it and
// compares it with what runs. No exception leaves it.
ReloadPlan PlanReload(const std::string& configPath, const std::string& daemonFolder,
                      const std::vector<AppConfig>& current, const ConfigOptions& currentOptions,
                      ConfigProbe& probe);

// One line for the operator: what changes (or would, for a dry run), or why
// nothing does.
std::string ReloadSummary(const ReloadPlan& plan, bool dryRun);

struct ControlAnswer;
// The control channel's answer to a reload of `plan`: refused with the
// check's findings ("config_error"), or the changes made (or that would be).
ControlAnswer ReloadAnswerOf(const ReloadPlan& plan, bool dryRun);
