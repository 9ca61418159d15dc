// Checking config.xml for what makes the daemon do other than its author
// meant. The records are the daemon's own walk's; what the walk reads over
// (elements it does not see, texts it cuts, names it does not know) is read
// from the same document; what only the system can tell is asked through a
// probe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "markup/outcome.h"
#include "supervision/app_config.h"
#include "supervision/system_facts.h"

class CXmlDocument;

// The system a check runs against: its facts, and what only its file system
// can tell. The platform's in production (PlatformConfigProbe,
// daemon/platform_config.h), fakes in tests.
class ConfigProbe {
  public:
    explicit ConfigProbe(const SystemFacts& facts) : facts_(facts) {}
    virtual ~ConfigProbe() = default;
    ConfigProbe(const ConfigProbe&) = delete;
    ConfigProbe& operator=(const ConfigProbe&) = delete;

    const SystemFacts& Facts() const { return facts_; }
    virtual bool FolderExists(const std::string& folder) = 0;
    virtual bool FolderWritable(const std::string& folder) = 0;
    // Whether the program `commandLine` starts can be found; relative paths
    // are taken from `ownFolder` (ending in its separator).
    virtual bool ProgramFound(const std::string& commandLine, const std::string& ownFolder) = 0;
    // Whether the two paths name one existing file, also through links.
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
    // The current folder of the daemon in `daemonFolder` when it runs as a
    // service (with its separator), and in `*why` how it comes to be that.
    virtual std::string ServiceFolder(const std::string& daemonFolder, std::string* why) = 0;

  private:
    const SystemFacts& facts_;
};

enum class Pitfall {
    kNotLoaded,            // the daemon does not use the file at all
    kTopNotConfig,         // the top element is not `config`: nothing is started
    kBeyondTwenty,         // app elements after the 20th are never watched
    kEmptyName,            // the application's processes are never terminated
    kNoSocket,             // no `socket` element: it connects to nothing
    kBadIp,                // not dotted IPv4: it connects to 0.0.0.0
    kBadPort,              // not a plain number from 1 to 65535
    kSubAppBeforeSocket,   // a `subApp` the walk does not see
    kEmptyFileMonitor,     // an empty entry hides the folders after it
    kTooManyFileMonitors,  // entries after the 16th are ignored
    kSecondPicMonitor,     // only the first `picMonitor` is used
    kMissingFolder,        // a result folder that does not exist
    kProgramNotFound,      // `path` names no program that can be found
    kSameEndpoint,         // two watchdogs on one endpoint
    kSameName,             // terminating one terminates the other's processes
    kStatusNotWritable,    // the status snapshot cannot be written
    kUnknownElement,       // an element the daemon does not read there (a typo, or misplaced)
    kUnknownAttribute,     // an attribute the daemon does not read
    kRelativeFolder,       // a result folder that depends on the daemon's current folder
    kRelativeCommand,      // a command whose program depends on the daemon's current folder
    kRepeatedAttribute,    // an attribute written twice: the daemon reads the first
    kNoApplication,        // the file loads and names no application: nothing is watched
};

struct ConfigFinding {
    Pitfall pitfall;
    int app;           // index of the app element (0 for the first) among the watched
                       // ones; -1 for the file as a whole
    std::string text;  // one line: what is wrong and what the daemon does because of it
};

struct ConfigCheck {
    bool loaded = false;
    XmlOutcome outcome;                   // what the engine met loading the file
    std::string report;                   // the engine's result report of the load
    std::string daemonFolder;             // the folder of the daemon that reads the file
    std::vector<AppConfig> apps;          // the records the daemon takes, in order
    std::string statusFolder;             // absolute; empty when the status snapshot is off
    std::vector<ConfigFinding> findings;  // the file's first, then by application
};

// 0 when nothing was found, 1 for findings, 2 when the file is not loaded.
int CheckExitCode(const ConfigCheck& check);

// One finding as a line: where (`config.xml` or `app N "name"`), then its text.
std::string FindingLine(const ConfigCheck& check, const ConfigFinding& finding);

// The findings a check prints of one kind before the rest are only counted.
constexpr std::size_t kFindingsShownPerKind = 20;

// The findings as lines, in their order: of each kind the first
// `perKind`, and after the last of those, when there are more,
// "and N more <the kind>" (a file with thousands of unknown attributes
// reads in a screen, not in thousands of lines).
std::vector<std::string> FindingLines(const ConfigCheck& check,
                                      std::size_t perKind = kFindingsShownPerKind);

// The folder of the daemon that reads the config.xml at `configPath`
// (absolute): `toolFolder` (the folder of zelkctl, installed beside the
// daemon) when the config.xml there is that file, also through a link, as
// /opt/zelk/config.xml links to /etc/zelk/config.xml in the Debian package;
// otherwise the folder of `configPath`, beside which the daemon sits.
std::string DaemonFolderFor(const std::string& configPath, const std::string& toolFolder,
                            ConfigProbe& probe);

// Loads `configPath` as the daemon loads config.xml and checks it as the
// daemon in `daemonFolder` (absolute, with its separator) reads it. No
// exception leaves it: memory running out reads as a file that is not loaded.
ConfigCheck CheckConfigFile(const std::string& configPath, const std::string& daemonFolder,
                            ConfigProbe& probe);

// Checks a document that loaded, as the daemon in `daemonFolder` reads it.
// `loaded`, `outcome` and `report` are left to the caller.
ConfigCheck CheckConfigDocument(CXmlDocument& document, const std::string& daemonFolder,
                                ConfigProbe& probe);
