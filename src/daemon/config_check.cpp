#include "daemon/config_check.h"

#include <new>

#include "daemon/config_walk.h"
#include "daemon/log_sanitize.h"
#include "markup/markup.h"
#include "platform/system.h"
#include "platform/tcp_client.h"

namespace {

// What the walk reads over in one app element.
struct AppElement {
    std::string name;
    bool hasSocket = false;
    std::string portText;
    int subAppsBeforeSocket = 0;
    bool hasSubApp = false;                 // a subApp the walk sees
    std::vector<std::string> fileMonitors;  // every one of the seen subApp, normalised
    std::vector<std::string> picMonitors;   // likewise
};

std::string Quoted(const std::string& value) {
    return "\"" + SanitizeForLog(value) + "\"";
}

std::string QuotedList(const std::vector<std::string>& values) {
    std::string out;
    for (const std::string& value : values) {
        out += (out.empty() ? "" : ", ") + Quoted(value);
    }
    return out;
}

int32_t MainStart(const CXmlDocument& document) {
    return document.GetElementOffset();
}

std::vector<std::string> ChildTexts(CXmlDocument& document, const char* name) {
    std::vector<std::string> texts;
    document.ResetMainPosition();
    while (document.FindElement(name)) {
        texts.push_back(NormaliseFolder(document.GetElementText()));
    }
    return texts;
}

// Reads the app element at the main position, and leaves it there.
AppElement ReadAppElement(CXmlDocument& document) {
    AppElement app;
    app.name = document.GetAttribute("name");
    document.IntoElement();
    int32_t socketStart = -1;
    if (document.FindElement("socket")) {
        app.hasSocket = true;
        app.portText = document.GetAttribute("port");
        socketStart = MainStart(document);
    }
    // The walk looks for subApp after the socket: earlier ones go unseen.
    document.ResetMainPosition();
    while (document.FindElement("subApp")) {
        if (MainStart(document) < socketStart) {
            ++app.subAppsBeforeSocket;
        } else if (!app.hasSubApp) {
            app.hasSubApp = true;
            document.IntoElement();
            app.fileMonitors = ChildTexts(document, "fileMonitor");
            app.picMonitors = ChildTexts(document, "picMonitor");
            document.OutOfElement();
        }
    }
    document.OutOfElement();
    return app;
}

// The name of the top element.
std::string TopElementName(CXmlDocument& document) {
    document.ResetPosition();
    return document.FindElement(nullptr) ? std::string(document.GetElementName()) : std::string();
}

// A port as a person writes one: digits only, from 1 to 65535.
bool IsPlainPort(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    const long value = std::stol(text);
    return value >= 1 && value <= 65535;
}

std::string Endpoint(const AppConfig& app) {
    return SanitizeForLog(app.ip) + ":" + std::to_string(app.port & 0xFFFF);
}

class Checker {
  public:
    Checker(ConfigCheck* check, const std::string& configFolder, ConfigProbe& probe)
        : check_(*check), configFolder_(configFolder), probe_(probe) {}

    void CheckApp(int index, const AppElement& element) {
        const AppConfig& app = check_.apps[static_cast<std::size_t>(index)];
        index_ = index;
        if (app.name.empty()) {
            Add(Pitfall::kEmptyName,
                "empty name: its processes are never terminated, so each launch starts another "
                "instance beside the silent one");
        }
        CheckProgram(app);
        CheckSocket(app, element);
        CheckSubApp(app, element);
        CheckSameAsEarlier(app);
    }

    void Add(Pitfall pitfall, const std::string& text, int app) {
        check_.findings.push_back(ConfigFinding{pitfall, app, text});
    }

  private:
    void Add(Pitfall pitfall, const std::string& text) { Add(pitfall, text, index_); }

    std::string Resolved(const std::string& path) const {
        return platform::IsAbsolutePath(path) ? path : configFolder_ + path;
    }

    void CheckProgram(const AppConfig& app) {
        if (app.path.empty()) {
            Add(Pitfall::kProgramNotFound, "empty path: the daemon has no program to launch");
        } else if (!probe_.ProgramFound(app.path, configFolder_)) {
            Add(Pitfall::kProgramNotFound,
                "path " + Quoted(app.path) + ": program not found, so every launch fails");
        }
    }

    void CheckSocket(const AppConfig& app, const AppElement& element) {
        if (!element.hasSocket) {
            Add(Pitfall::kNoSocket,
                "no socket element: the daemon connects to 0.0.0.0:0, which reaches nothing");
            return;
        }
        uint32_t address = 0;
        if (!platform::ParseIpv4(app.ip.c_str(), &address)) {
            Add(Pitfall::kBadIp, "ip " + Quoted(app.ip) +
                                     " is not a dotted IPv4 address: the daemon connects to "
                                     "0.0.0.0 instead");
        }
        if (!IsPlainPort(element.portText)) {
            const int port = app.port & 0xFFFF;
            Add(Pitfall::kBadPort, "port " + Quoted(element.portText) +
                                       " is not a plain number from 1 to 65535: the daemon "
                                       "connects to port " +
                                       std::to_string(port) +
                                       (port == 0 ? ", which reaches nothing" : ""));
        }
    }

    void CheckSubApp(const AppConfig& app, const AppElement& element) {
        if (element.subAppsBeforeSocket > 0) {
            Add(Pitfall::kSubAppBeforeSocket,
                (element.subAppsBeforeSocket == 1
                     ? std::string("a subApp before the socket element is not seen")
                     : std::to_string(element.subAppsBeforeSocket) +
                           " subApp elements before the socket element are not seen") +
                    (element.hasSubApp ? ": the one after it is used"
                                       : ": no result files are checked and no command runs"));
        }
        CheckFileMonitors(app, element);
        if (element.picMonitors.size() > 1) {
            const std::vector<std::string> ignored(element.picMonitors.begin() + 1,
                                                   element.picMonitors.end());
            Add(Pitfall::kSecondPicMonitor,
                "only the first picMonitor is used; ignored: " + QuotedList(ignored));
        }
        if (!app.picMonitor.empty() && !probe_.FolderExists(Resolved(app.picMonitor))) {
            Add(Pitfall::kMissingFolder,
                "picMonitor folder does not exist: " + Quoted(app.picMonitor) +
                    " (no picture is ever counted, so no train is ever compared)");
        }
    }

    void CheckFileMonitors(const AppConfig& app, const AppElement& element) {
        std::size_t end = 0;  // the entries the watchdog searches: up to the first empty one
        while (end < app.fileMonitor.size() && !app.fileMonitor[end].empty()) {
            ++end;
        }
        std::vector<std::string> hidden;
        for (std::size_t k = end; k < app.fileMonitor.size(); ++k) {
            if (!app.fileMonitor[k].empty()) {
                hidden.push_back(app.fileMonitor[k]);
            }
        }
        if (!hidden.empty()) {
            Add(Pitfall::kEmptyFileMonitor,
                "fileMonitor " + std::to_string(end + 1) +
                    " is empty and ends the list: never searched: " + QuotedList(hidden));
        }
        const std::size_t limit = static_cast<std::size_t>(kMaxFileMonitors);
        if (element.fileMonitors.size() > limit) {
            const std::vector<std::string> ignored(element.fileMonitors.begin() + kMaxFileMonitors,
                                                   element.fileMonitors.end());
            Add(Pitfall::kTooManyFileMonitors,
                std::to_string(element.fileMonitors.size()) +
                    " fileMonitor elements: only the first 16 are read; ignored: " +
                    QuotedList(ignored));
        }
        std::vector<std::string> missing;
        for (std::size_t k = 0; k < end; ++k) {
            if (!probe_.FolderExists(Resolved(app.fileMonitor[k]))) {
                missing.push_back(app.fileMonitor[k]);
            }
        }
        if (!missing.empty()) {
            Add(Pitfall::kMissingFolder,
                std::string(missing.size() == 1 ? "fileMonitor folder does not exist: "
                                                : "fileMonitor folders do not exist: ") +
                    QuotedList(missing) + " (no XML file is ever counted there)");
        }
    }

    // One finding for the first earlier application on the same endpoint,
    // one for the first of the same name.
    void CheckSameAsEarlier(const AppConfig& app) {
        uint32_t address = 0;
        const bool reachable = platform::ParseIpv4(app.ip.c_str(), &address);
        for (int other = 0; reachable && other < index_; ++other) {
            const Ipv4SocketAddress& theirs = check_.apps[static_cast<std::size_t>(other)].address;
            if (theirs.address == app.address.address && theirs.port == app.address.port) {
                Add(Pitfall::kSameEndpoint, "same endpoint " + Endpoint(app) + " as " +
                                                AppLabel(other) +
                                                ": two watchdogs watch one application");
                break;
            }
        }
        for (int other = 0; !app.name.empty() && other < index_; ++other) {
            if (check_.apps[static_cast<std::size_t>(other)].name == app.name) {
                Add(Pitfall::kSameName, "same name as " + AppLabel(other) +
                                            ": restarting either one terminates the processes "
                                            "of both");
                break;
            }
        }
    }

    std::string AppLabel(int index) const {
        return "app " + std::to_string(index + 1) + " " +
               Quoted(check_.apps[static_cast<std::size_t>(index)].name);
    }

    ConfigCheck& check_;
    const std::string& configFolder_;
    ConfigProbe& probe_;
    int index_ = -1;
};

// Why the engine refused the file, from its result report.
std::string LoadFailure(const std::string& report) {
    CXmlDocument entries("<report>" + report + "</report>");
    entries.ResetPosition();
    if (entries.FindElement("report")) {
        entries.IntoElement();
        if (entries.FindElement("out_of_memory")) {
            return "out of memory";
        }
        entries.ResetMainPosition();
        if (entries.FindElement("file_error")) {
            return "cannot be read: " + entries.GetAttribute("msg");
        }
        entries.ResetMainPosition();
        if (entries.FindElement("read") && entries.GetAttribute("length") == "0") {
            return "empty file";
        }
    }
    return "not well-formed";
}

}  // namespace

int CheckExitCode(const ConfigCheck& check) {
    if (!check.loaded) {
        return 2;
    }
    return check.findings.empty() ? 0 : 1;
}

ConfigCheck CheckConfigDocument(CXmlDocument& document, const std::string& configFolder,
                                ConfigProbe& probe) {
    ConfigCheck check;
    Checker checker(&check, configFolder, probe);
    WalkConfigDocument(document,
                       [&](std::unique_ptr<AppConfig> app) { check.apps.push_back(*app); });
    check.statusFolder = StatusFolder(document, configFolder);
    if (!check.statusFolder.empty() && !probe.FolderWritable(check.statusFolder)) {
        checker.Add(Pitfall::kStatusNotWritable,
                    "status folder " + Quoted(check.statusFolder) + " cannot be written" +
                        (probe.FolderExists(check.statusFolder) ? "" : " (it does not exist)") +
                        ": the daemon writes no status snapshot",
                    -1);
    }
    document.ResetPosition();
    if (!document.FindElement("config")) {
        checker.Add(Pitfall::kTopNotConfig,
                    "the top element is <" + SanitizeForLog(TopElementName(document)) +
                        ">, not <config>: the daemon starts no application",
                    -1);
        return check;
    }
    document.IntoElement();
    std::vector<AppElement> elements;
    std::vector<std::string> unwatched;
    while (document.FindElement("app")) {
        if (elements.size() < check.apps.size()) {
            elements.push_back(ReadAppElement(document));
        } else {
            unwatched.push_back(document.GetAttribute("name"));
        }
    }
    if (!unwatched.empty()) {
        checker.Add(Pitfall::kBeyondTwenty,
                    std::to_string(unwatched.size()) +
                        " app elements after the 20th are never watched: " + QuotedList(unwatched),
                    -1);
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
        checker.CheckApp(static_cast<int>(i), elements[i]);
    }
    return check;
}

ConfigCheck CheckConfigFile(const std::string& configPath, ConfigProbe& probe) {
    ConfigCheck check;
    try {
        CXmlDocument document;
        if (LoadConfigDocument(configPath, document)) {
            check = CheckConfigDocument(document, platform::FolderOf(configPath), probe);
            check.loaded = true;
        }
        check.report = document.GetResultReport();
    } catch (const std::bad_alloc&) {
        check = ConfigCheck();
        check.report = "<out_of_memory/>";
    }
    if (!check.loaded) {
        check.findings.push_back(ConfigFinding{
            Pitfall::kNotLoaded, -1,
            "not loaded (" + LoadFailure(check.report) +
                "): the daemon starts no application; the engine reports " + check.report});
    }
    return check;
}
