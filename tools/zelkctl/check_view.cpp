#include "zelkctl/check_view.h"

#include <vector>

#include "supervision/config_walk.h"
#include "supervision/log_sanitize.h"
#include "supervision/status_snapshot.h"

namespace zelkctl {

namespace {

// The width of the labels of the plan lines, so that their texts align.
constexpr std::size_t kLabelWidth = 14;

std::string Line(const std::string& label, const std::string& text) {
    return "  " + label + std::string(kLabelWidth - label.size(), ' ') + text + "\n";
}

std::string Shown(const std::string& text) {
    return SanitizeForLog(text);
}

std::string Command(const std::string& command, const char* attribute) {
    return command.empty() ? std::string("nothing (empty ") + attribute + ")" : Shown(command);
}

// Where the watchdog connects: an ip that is no address connects to 0.0.0.0.
std::string Endpoint(const AppConfig& app, const SystemFacts& facts) {
    uint32_t address = 0;
    const bool valid = facts.parseIpv4(app.ip.c_str(), &address);
    const std::string port = std::to_string(app.port & 0xFFFF);
    return valid ? Shown(app.ip) + ":" + port
                 : "0.0.0.0:" + port + " (ip \"" + Shown(app.ip) + "\" is not dotted IPv4)";
}

std::string ResultFolders(const AppConfig& app, char separator) {
    std::string xml;
    for (const std::string& folder : app.fileMonitor) {
        if (folder.empty()) {
            break;
        }
        xml += (xml.empty() ? "" : ", ") + Shown(folder);
    }
    return "counts pictures in " + Shown(app.picMonitor) + "<train>" + separator +
           (xml.empty() ? " and no XML files (no fileMonitor): every train with pictures is a "
                          "mismatch"
                        : " and XML files in " + xml);
}

std::string Plan(const AppConfig& app, std::size_t index, const SystemFacts& facts) {
    std::string out = "app " + std::to_string(index + 1) + "  " +
                      (app.name.empty() ? std::string("(no name)") : Shown(app.name)) + "  " +
                      Endpoint(app, facts) + "\n";
    out +=
        Line("restarts", (app.name.empty() ? std::string("terminates nothing (empty name)")
                                           : "terminates the processes named " + Shown(app.name)) +
                             ", then launches " + Command(app.path, "path"));
    // Without a picture folder no picture is counted, and no train is compared.
    if (app.picMonitor.empty()) {
        return out + Line("after trains", "compares nothing (no picMonitor)");
    }
    out += Line("after trains", ResultFolders(app, facts.pathSeparator));
    return out +
           Line("on mismatch", "runs " + Command(app.stopPath, "stopPath") + ", then " +
                                   Command(app.startPath, "startPath") + " five handshakes later");
}

}  // namespace

std::string CheckReport(const ConfigCheck& check, const std::string& configPath,
                        const SystemFacts& facts) {
    std::string out = "config.xml: " + Shown(configPath) + "\n";
    if (!check.daemonFolder.empty()) {
        out += "daemon folder: " + Shown(check.daemonFolder) + "\n";
    }
    if (check.loaded) {
        out += "status snapshot: " +
               (check.statusFolder.empty()
                    ? std::string("off (no <status folder=\"...\"/> element)")
                    : Shown(NormaliseFolder(check.statusFolder, facts.pathSeparator)) +
                          kStatusFileName) +
               "\n\n";
        if (check.apps.empty()) {
            out += "The daemon watches no application.\n";
        }
        for (std::size_t i = 0; i < check.apps.size(); ++i) {
            out += Plan(check.apps[i], i, facts);
        }
    }
    out += "\n";
    if (check.findings.empty()) {
        return out + "No pitfall found.\n";
    }
    for (const std::string& line : FindingLines(check)) {
        out += "pitfall: " + line + "\n";
    }
    const std::size_t n = check.findings.size();
    return out + std::to_string(n) + (n == 1 ? " pitfall" : " pitfalls") + " found.\n";
}

}  // namespace zelkctl
