#include "supervision/config_check.h"

#include <new>
#include <string_view>

#include "markup/markup.h"
#include "supervision/config_names.h"
#include "supervision/config_walk.h"
#include "supervision/config_wording.h"
#include "supervision/log_sanitize.h"

namespace {

namespace n = config_name;
using config_wording::Quoted;
using config_wording::QuotedList;
using config_wording::ShownName;

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

// The program a shell command line starts: its first word, or the text
// between its first pair of double quotes.
std::string CommandProgram(const std::string& command) {
    const std::size_t begin = command.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return "";
    }
    if (command[begin] == '"') {
        const std::size_t end = command.find('"', begin + 1);
        return command.substr(begin + 1, end == std::string::npos ? end : end - begin - 1);
    }
    const std::size_t end = command.find_first_of(" \t", begin);
    return command.substr(begin, end == std::string::npos ? end : end - begin);
}

std::vector<std::string> ChildTexts(CXmlDocument& document, const char* name, char separator) {
    std::vector<std::string> texts;
    document.ResetMainPosition();
    while (document.FindElement(name)) {
        texts.push_back(NormaliseFolder(document.GetElementText(), separator));
    }
    return texts;
}

// Reads the app element at the main position, and leaves it there.
AppElement ReadAppElement(CXmlDocument& document, char separator) {
    AppElement app;
    app.name = document.GetAttribute(n::kName);
    document.IntoElement();
    if (document.FindElement(n::kSocket)) {
        app.hasSocket = true;
        app.portText = document.GetAttribute(n::kPort);
    }
    // The subApp the walk reads; every one before it, or every one when it
    // reads none, goes unseen.
    int32_t readAt = -1;
    if (FindReadSubApp(document)) {
        app.hasSubApp = true;
        readAt = document.GetElementOffset();
        document.IntoElement();
        app.fileMonitors = ChildTexts(document, n::kFileMonitor, separator);
        app.picMonitors = ChildTexts(document, n::kPicMonitor, separator);
        document.OutOfElement();
    }
    document.ResetMainPosition();
    while (document.FindElement(n::kSubApp)) {
        if (readAt < 0 || document.GetElementOffset() < readAt) {
            ++app.subAppsBeforeSocket;
        }
    }
    document.OutOfElement();
    return app;
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
    Checker(ConfigCheck* check, ConfigProbe& probe)
        : check_(*check), probe_(probe), facts_(probe.Facts()) {
        serviceFolder_ = probe.ServiceFolder(check->daemonFolder, &serviceWhy_);
    }

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

    void CheckProgram(const AppConfig& app) {
        if (app.path.empty()) {
            Add(Pitfall::kProgramNotFound, "empty path: the daemon has no program to launch");
        } else if (!probe_.ProgramFound(app.path, check_.daemonFolder)) {
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
        if (!facts_.parseIpv4(app.ip.c_str(), &address)) {
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
        if (element.hasSubApp) {
            CheckCommand(n::kStopPath, app.stopPath);
            CheckCommand(n::kStartPath, app.startPath);
        }
        if (app.picMonitor.empty()) {
            return;
        }
        if (!facts_.isAbsolutePath(app.picMonitor)) {
            Relative("picMonitor", app.picMonitor);
        } else if (!probe_.FolderExists(app.picMonitor)) {
            Add(Pitfall::kMissingFolder,
                "picMonitor folder does not exist: " + Quoted(app.picMonitor) +
                    " (no picture is ever counted, so no train is ever compared)");
        }
    }

    // A result folder the daemon hands to the system as it is: the system
    // resolves it from the daemon's current folder, which the operator does
    // not choose in service mode.
    void Relative(const std::string& what, const std::string& folder) {
        const std::string there = ResolvePath(folder, serviceFolder_, facts_);
        Add(Pitfall::kRelativeFolder,
            what + " " + Quoted(folder) + " is relative, so it depends on " + CurrentFolder(there) +
                (probe_.FolderExists(there) ? "" : ", which does not exist") + InConsoleMode());
    }

    // A command the shell runs from the daemon's current folder, whose
    // program is named by a relative path (bin/un.sh, scripts\install.cmd); a bare
    // name is looked up along the search path and is left alone.
    void CheckCommand(const char* what, const std::string& command) {
        const std::string program = CommandProgram(command);
        if (program.find_first_of(facts_.pathSeparators) == std::string::npos ||
            facts_.isAbsolutePath(program)) {
            return;
        }
        Add(Pitfall::kRelativeCommand,
            std::string(what) + " " + Quoted(command) + " starts " + Quoted(program) +
                " by a relative path, so it depends on " +
                CurrentFolder(ResolvePath(program, serviceFolder_, facts_)) + InConsoleMode());
    }

    std::string CurrentFolder(const std::string& there) const {
        return "the daemon's current folder: as a service it is " + Quoted(there) + " (" +
               serviceWhy_ + ")";
    }

    static std::string InConsoleMode() {
        return "; in console mode it counts from the folder the daemon is started in";
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
            const std::string& folder = app.fileMonitor[k];
            if (!facts_.isAbsolutePath(folder)) {
                Relative("fileMonitor " + std::to_string(k + 1), folder);
            } else if (!probe_.FolderExists(folder)) {
                missing.push_back(folder);
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
        const bool reachable = facts_.parseIpv4(app.ip.c_str(), &address);
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
    ConfigProbe& probe_;
    const SystemFacts& facts_;
    std::string serviceFolder_;
    std::string serviceWhy_;
    int index_ = -1;
};

// The app elements of the top element: what the walk reads over in each of
// those it takes (`taken` of them), and the names of those after.
void ReadAppElements(CXmlDocument& document, std::size_t taken, char separator,
                     std::vector<AppElement>* elements, std::vector<std::string>* unwatched) {
    document.ResetPosition();
    document.FindElement(n::kConfig);
    document.IntoElement();
    while (document.FindElement(n::kApp)) {
        if (elements->size() < taken) {
            elements->push_back(ReadAppElement(document, separator));
        } else {
            unwatched->push_back(document.GetAttribute(n::kName));
        }
    }
}

void CheckStatusFolder(ConfigProbe& probe, Checker* checker, const std::string& statusFolder) {
    if (!statusFolder.empty() && !probe.FolderWritable(statusFolder)) {
        checker->Add(Pitfall::kStatusNotWritable,
                     "status folder " + Quoted(statusFolder) + " cannot be written" +
                         (probe.FolderExists(statusFolder) ? "" : " (it does not exist)") +
                         ": the daemon writes no status snapshot",
                     -1);
    }
}

// False, with its finding, when the top element is not `config`.
bool CheckTopElement(CXmlDocument& document, Checker* checker) {
    document.ResetPosition();
    if (document.FindElement(n::kConfig)) {
        return true;
    }
    document.ResetPosition();
    document.FindElement(nullptr);
    checker->Add(Pitfall::kTopNotConfig,
                 "the top element is <" + ShownName(document.GetElementName()) +
                     ">, not <config>: the daemon starts no application",
                 -1);
    return false;
}

}  // namespace

std::string DaemonFolderFor(const std::string& configPath, const std::string& toolFolder,
                            ConfigProbe& probe) {
    if (!toolFolder.empty() && probe.SameFile(toolFolder + "config.xml", configPath)) {
        return toolFolder;
    }
    const std::size_t cut = configPath.find_last_of(probe.Facts().pathSeparator);
    return cut == std::string::npos ? std::string() : configPath.substr(0, cut + 1);
}

ConfigCheck CheckConfigDocument(CXmlDocument& document, const std::string& daemonFolder,
                                ConfigProbe& probe) {
    const SystemFacts& facts = probe.Facts();
    ConfigCheck check;
    check.daemonFolder = daemonFolder;
    Checker checker(&check, probe);
    WalkConfigDocument(document, facts,
                       [&](std::unique_ptr<AppConfig> app) { check.apps.push_back(*app); });
    check.statusFolder = StatusFolder(document, daemonFolder, facts);
    CheckStatusFolder(probe, &checker, check.statusFolder);
    if (!CheckTopElement(document, &checker)) {
        return check;
    }
    const std::vector<NameFinding> names = CheckConfigNames(document, facts);
    std::vector<AppElement> elements;
    std::vector<std::string> unwatched;
    ReadAppElements(document, check.apps.size(), facts.pathSeparator, &elements, &unwatched);
    if (check.apps.empty()) {
        checker.Add(Pitfall::kNoApplication, "names no application: nothing is watched", -1);
    }
    if (!unwatched.empty()) {
        checker.Add(Pitfall::kBeyondTwenty,
                    std::to_string(unwatched.size()) +
                        " app elements after the 20th are never watched: " + QuotedList(unwatched),
                    -1);
    }
    // Names outside the watched applications belong to the file; within one,
    // they come first among its findings, as they often explain the others.
    for (const NameFinding& found : names) {
        if (found.app < 0 || static_cast<std::size_t>(found.app) >= elements.size()) {
            checker.Add(
                found.pitfall,
                (found.app < 0 ? "" : "app " + std::to_string(found.app + 1) + ": ") + found.text,
                -1);
        }
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
        for (const NameFinding& found : names) {
            if (found.app == static_cast<int>(i)) {
                checker.Add(found.pitfall, found.text, found.app);
            }
        }
        checker.CheckApp(static_cast<int>(i), elements[i]);
    }
    return check;
}

ConfigCheck CheckConfigFile(const std::string& configPath, const std::string& daemonFolder,
                            ConfigProbe& probe) {
    ConfigCheck check;
    std::string failure;
    try {
        CXmlDocument document;
        if (LoadConfigDocument(configPath, document)) {
            check = CheckConfigDocument(document, daemonFolder, probe);
            check.loaded = true;
        } else {
            failure = config_wording::LoadFailure(document.GetOutcome(), document.GetProblems(),
                                                  document.GetDocText(), probe.Facts());
        }
        check.outcome = document.GetOutcome();
        check.report = document.GetResultReport();
    } catch (const std::bad_alloc&) {
        check = ConfigCheck();
        check.outcome.status = XmlStatus::kOutOfMemory;
        check.report = "<out_of_memory/>";
        failure = "out of memory";
    }
    check.daemonFolder = daemonFolder;
    if (!check.loaded) {
        check.findings.push_back(ConfigFinding{
            Pitfall::kNotLoaded, -1,
            "not loaded (" + failure + "): the daemon starts no application; the engine reports " +
                check.report});
    }
    return check;
}
