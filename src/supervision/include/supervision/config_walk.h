// Reading config.xml into AppConfig records: the `app` elements of the top
// `config` element, in document order, at most kMaxApplications of them.
// Pure: what the records depend on of the system (the paths' separator, the
// socket library's reading of addresses) comes in as SystemFacts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "supervision/app_config.h"
#include "supervision/system_facts.h"

class CXmlDocument;

// The names the daemon reads in config.xml, compared as written (letter
// case included).
namespace config_name {
constexpr const char kConfig[] = "config";
constexpr const char kApp[] = "app";
constexpr const char kSocket[] = "socket";
constexpr const char kSubApp[] = "subApp";
constexpr const char kFileMonitor[] = "fileMonitor";
constexpr const char kPicMonitor[] = "picMonitor";
constexpr const char kStatus[] = "status";
constexpr const char kJournal[] = "journal";
constexpr const char kControl[] = "control";
constexpr const char kName[] = "name";
constexpr const char kPath[] = "path";
constexpr const char kIp[] = "ip";
constexpr const char kPort[] = "port";
constexpr const char kStartPath[] = "startPath";
constexpr const char kStopPath[] = "stopPath";
constexpr const char kFolder[] = "folder";
constexpr const char kDays[] = "days";
constexpr const char kGroup[] = "group";
constexpr const char kMaxPauseHours[] = "maxPauseHours";
}  // namespace config_name

// One element the daemon reads from config.xml, the element it is read in
// (null for the top element) and the attributes it reads from it.
struct KnownConfigElement {
    const char* name;
    const char* parent;
    std::vector<const char*> attributes;
};

// Every element and attribute the daemon reads; it ignores all others (and
// zelkctl check names them). A reader of a new element or attribute adds
// its row here.
const std::vector<KnownConfigElement>& KnownConfigElements();

// Receives each filled record as soon as it is read; the walk goes on to the
// next `app` element only when the sink returns.
using AppConfigSink = std::function<void(std::unique_ptr<AppConfig>)>;

// Loads `configPath` and walks it. A file that cannot be loaded or is not
// well-formed, or whose top element is not `config`, gives no record.
// Returns the number of records handed to `take`. When memory runs out the
// walk ends there (the records handed on so far stay) and `*outOfMemory`,
// if given, is set; no exception leaves the call. `seen`, if given, sees the
// document first, with whether it could be loaded (to read what the walk does
// not, or the engine's report of why not).
int WalkConfigFile(const std::string& configPath, const SystemFacts& facts,
                   const AppConfigSink& take, bool* outOfMemory = nullptr,
                   const std::function<void(CXmlDocument&, bool loaded)>& seen = nullptr);

// Loads `configPath` into `document` as the daemon loads config.xml. False
// when it cannot be used (missing, unreadable, not well-formed:
// document.GetOutcome() tells which); then, when memory ran out,
// `*outOfMemory` (if given) is set. No exception leaves it.
bool LoadConfigDocument(const std::string& configPath, CXmlDocument& document,
                        bool* outOfMemory = nullptr);

// Inside an `app` element, after looking for its `socket` (the main position
// on the socket when there is one): moves to the `subApp` the daemon reads,
// the first after the socket, or the first of all without one; so a subApp
// written before the socket is not seen. False when there is none.
bool FindReadSubApp(CXmlDocument& document);

// Walks an already parsed document from its top level.
int WalkConfigDocument(CXmlDocument& document, const SystemFacts& facts, const AppConfigSink& take);

// The status snapshot's folder: the `folder` attribute of the first `status`
// element directly inside the top `config` element, as the daemon in
// `daemonFolder` (its executable's folder, with its separator) resolves it.
// Empty when there is no such element or its folder is empty: the snapshot
// is off. The walk of the applications never looks at `status`.
std::string StatusFolder(CXmlDocument& document, const std::string& daemonFolder,
                         const SystemFacts& facts);

// `path` from config.xml resolved from `base` (a folder with its
// separator): unchanged when absolute, else after `base`. The daemon
// resolves its status folder from its own folder; the result folders it
// hands to the system as they are, which resolves them from the daemon's
// current folder.
std::string ResolvePath(const std::string& path, const std::string& base, const SystemFacts& facts);

// The event journal: off unless config.xml has a `journal` element directly
// inside `config` whose `folder` is not empty. The folder counts as the
// status folder's does; `days` is how many days of files are kept, from 1 to
// 366 (anything else gives the default).
constexpr int kJournalDefaultDays = 30;
constexpr int kJournalMaxDays = 366;
struct JournalSettings {
    std::string folder;  // absolute; empty: off
    int days = kJournalDefaultDays;
};
JournalSettings JournalSettingsOf(CXmlDocument& document, const std::string& daemonFolder,
                                  const SystemFacts& facts);

// The control channel's settings: `<control group=".." maxPauseHours=".."/>`
// directly inside `config`, optional (docs/control.md). Without it the
// channel is served all the same with these defaults; an hour count that is
// not a whole number from 1 to kMaxPauseHoursLimit gives the default.
constexpr int kDefaultPauseHours = 24;
constexpr int kMaxPauseHoursLimit = 168;
struct ControlSettings {
    std::string group;  // POSIX: a group whose members may control the daemon; empty: none
    int maxPauseHours = kDefaultPauseHours;
};
ControlSettings ControlSettingsOf(CXmlDocument& document);

// The number of applications the walk takes from a loaded document.
int CountConfigApps(CXmlDocument& document);

// Appends `separator` to a non-empty folder that does not end in it.
std::string NormaliseFolder(const std::string& folder, char separator);
