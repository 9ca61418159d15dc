// Checking config.xml for what makes the daemon do other than its author
// meant. The records are the daemon's own walk's; what the walk reads over
// (elements it does not see, texts it cuts) is read from the same document;
// what only the file system can tell is asked through a probe.
#pragma once

#include <string>
#include <vector>

#include "daemon/app_config.h"

class CXmlDocument;

// The file-system facts a check needs: the platform's in production, fakes
// in tests.
class ConfigProbe {
  public:
    virtual ~ConfigProbe() = default;
    virtual bool FolderExists(const std::string& folder) = 0;
    virtual bool FolderWritable(const std::string& folder) = 0;
    // Whether the program `commandLine` starts can be found; relative paths
    // are taken from `ownFolder` (ending in its separator).
    virtual bool ProgramFound(const std::string& commandLine, const std::string& ownFolder) = 0;
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
};

struct ConfigFinding {
    Pitfall pitfall;
    int app;           // index of the app element (0 for the first); -1 for the file as a whole
    std::string text;  // one line: what is wrong and what the daemon does because of it
};

struct ConfigCheck {
    bool loaded = false;
    std::string report;                   // the engine's result report of the load
    std::vector<AppConfig> apps;          // the records the daemon takes, in order
    std::string statusFolder;             // absolute; empty when the status snapshot is off
    std::vector<ConfigFinding> findings;  // the file's first, then by application
};

// 0 when nothing was found, 1 for findings, 2 when the file is not loaded.
int CheckExitCode(const ConfigCheck& check);

// Loads `configPath` as the daemon loads config.xml and checks it. Relative
// folders and programs are taken from the folder of `configPath`, which
// should therefore be absolute. No exception leaves it: memory running out
// reads as a file that is not loaded.
ConfigCheck CheckConfigFile(const std::string& configPath, ConfigProbe& probe);

// Checks a document that loaded; `configFolder` is the folder of config.xml
// with its separator. `loaded` and `report` are left to the caller.
ConfigCheck CheckConfigDocument(CXmlDocument& document, const std::string& configFolder,
                                ConfigProbe& probe);
