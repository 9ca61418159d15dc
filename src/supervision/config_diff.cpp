#include "supervision/config_diff.h"

#include <cstddef>

namespace {

// The settings of one record the watchdog acts on, each with its name in
// config.xml. The endpoint is compared as written (ip and port), which also
// fixes the address the watchdog connects to.
std::vector<std::string> ChangedFields(const AppConfig& a, const AppConfig& b) {
    std::vector<std::string> fields;
    const auto note = [&fields](bool differs, const char* name) {
        if (differs) {
            fields.emplace_back(name);
        }
    };
    note(a.path != b.path, config_name::kPath);
    note(a.ip != b.ip, config_name::kIp);
    note(a.port != b.port, config_name::kPort);
    note(a.subAppName != b.subAppName, "subApp");
    note(a.startPath != b.startPath, config_name::kStartPath);
    note(a.stopPath != b.stopPath, config_name::kStopPath);
    note(a.fileMonitor != b.fileMonitor, config_name::kFileMonitor);
    note(a.picMonitor != b.picMonitor, config_name::kPicMonitor);
    return fields;
}

}  // namespace

std::vector<AppDifference> DiffApplications(const std::vector<AppConfig>& before,
                                            const std::vector<AppConfig>& after) {
    std::vector<AppDifference> result;
    std::vector<bool> taken(after.size(), false);
    for (std::size_t i = 0; i < before.size(); ++i) {
        AppDifference difference;
        difference.name = before[i].name;
        difference.oldIndex = static_cast<int>(i);
        difference.change = AppChange::kRemoved;
        for (std::size_t j = 0; j < after.size(); ++j) {
            if (!taken[j] && after[j].name == before[i].name) {
                taken[j] = true;
                difference.newIndex = static_cast<int>(j);
                difference.fields = ChangedFields(before[i], after[j]);
                difference.change =
                    difference.fields.empty() ? AppChange::kUnchanged : AppChange::kChanged;
                break;
            }
        }
        result.push_back(std::move(difference));
    }
    for (std::size_t j = 0; j < after.size(); ++j) {
        if (!taken[j]) {
            AppDifference difference;
            difference.change = AppChange::kAdded;
            difference.name = after[j].name;
            difference.newIndex = static_cast<int>(j);
            result.push_back(std::move(difference));
        }
    }
    return result;
}

std::vector<std::string> DiffOptions(const ConfigOptions& before, const ConfigOptions& after) {
    std::vector<std::string> changed;
    if (before.statusFolder != after.statusFolder) {
        changed.emplace_back(config_name::kStatus);
    }
    if (before.journal.folder != after.journal.folder ||
        before.journal.days != after.journal.days) {
        changed.emplace_back(config_name::kJournal);
    }
    if (before.control.group != after.control.group ||
        before.control.maxPauseHours != after.control.maxPauseHours) {
        changed.emplace_back(config_name::kControl);
    }
    const EvidenceSettings& e = before.evidence;
    const EvidenceSettings& f = after.evidence;
    if (e.folder != f.folder || e.keep != f.keep || e.megabytes != f.megabytes ||
        e.type != f.type) {
        changed.emplace_back(config_name::kEvidence);
    }
    return changed;
}

const char* AppChangeName(AppChange change) {
    switch (change) {
        case AppChange::kUnchanged:
            return "unchanged";
        case AppChange::kChanged:
            return "changed";
        case AppChange::kAdded:
            return "added";
        case AppChange::kRemoved:
            return "removed";
    }
    return "";
}
