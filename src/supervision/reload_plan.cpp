#include <new>

#include "markup/markup.h"
#include "supervision/config_check.h"
#include "supervision/config_diff.h"
#include "supervision/control_protocol.h"
#include "supervision/utf8_text.h"

ConfigOptions ConfigOptionsOf(CXmlDocument& document, const std::string& daemonFolder,
                              const SystemFacts& facts) {
    ConfigOptions options;
    options.statusFolder = StatusFolder(document, daemonFolder, facts);
    options.journal = JournalSettingsOf(document, daemonFolder, facts);
    options.control = ControlSettingsOf(document);
    options.evidence = EvidenceSettingsOf(document, daemonFolder, facts);
    return options;
}

bool BlocksReload(Pitfall pitfall) {
    switch (pitfall) {
        case Pitfall::kNotLoaded:
        case Pitfall::kTopNotConfig:
        case Pitfall::kNoApplication:
        case Pitfall::kEmptyName:
        case Pitfall::kNoSocket:
        case Pitfall::kBadIp:
        case Pitfall::kBadPort:
        case Pitfall::kSameEndpoint:
        case Pitfall::kSameName:
            return true;
        default:
            return false;
    }
}

ReloadPlan PlanReload(const std::string& configPath, const std::string& daemonFolder,
                      const std::vector<AppConfig>& current, const ConfigOptions& currentOptions,
                      ConfigProbe& probe) {
    ReloadPlan plan;
    ConfigCheck check;
    try {
        CXmlDocument document;
        if (LoadConfigDocument(configPath, document)) {
            check = CheckConfigDocument(document, daemonFolder, probe);
            check.loaded = true;
            plan.options = ConfigOptionsOf(document, daemonFolder, probe.Facts());
        } else {
            // The check's own load, for its words on why the file is not used.
            check = CheckConfigFile(configPath, daemonFolder, probe);
        }
        check.daemonFolder = daemonFolder;
        plan.findings = FindingLines(check);
    } catch (const std::bad_alloc&) {
        plan.refused = true;
        plan.findings.assign(1, "config.xml: out of memory");
        return plan;
    }
    for (const ConfigFinding& finding : check.findings) {
        plan.refused = plan.refused || BlocksReload(finding.pitfall);
    }
    if (plan.refused) {
        return plan;
    }
    plan.apps = std::move(check.apps);
    plan.differences = DiffApplications(current, plan.apps);
    plan.optionChanges = DiffOptions(currentOptions, plan.options);
    return plan;
}

std::string ReloadSummary(const ReloadPlan& plan, bool dryRun) {
    if (plan.refused) {
        return "config.xml not reloaded, nothing changed: " +
               (plan.findings.empty() ? std::string("it cannot be used") : plan.findings.front());
    }
    std::string changes;
    bool removed = false;
    for (const AppDifference& difference : plan.differences) {
        if (difference.change == AppChange::kUnchanged) {
            continue;
        }
        changes += changes.empty() ? "" : ", ";
        changes += std::string(AppChangeName(difference.change)) + " " + difference.name;
        removed = removed || difference.change == AppChange::kRemoved;
    }
    for (const std::string& option : plan.optionChanges) {
        changes += (changes.empty() ? "" : ", ") + option + " settings changed";
    }
    if (changes.empty()) {
        changes = "no change";
    }
    std::string line = (dryRun ? "config.xml would reload: " : "config.xml reloaded: ") + changes;
    if (removed) {
        line += dryRun ? "; a removed application's processes would be left running"
                       : "; a removed application's processes are left running";
    }
    return line;
}

ControlAnswer ReloadAnswerOf(const ReloadPlan& plan, bool dryRun) {
    ControlAnswer answer;
    answer.ok = !plan.refused;
    answer.error = plan.refused ? "config_error" : "";
    answer.message = ReloadSummary(plan, dryRun);
    answer.dryRun = dryRun;
    answer.findings = plan.findings;
    answer.settings = plan.optionChanges;
    for (const AppDifference& difference : plan.differences) {
        if (difference.change != AppChange::kUnchanged) {
            answer.changes.push_back(
                {AnsiToUtf8(difference.name), AppChangeName(difference.change), difference.fields});
        }
    }
    return answer;
}
