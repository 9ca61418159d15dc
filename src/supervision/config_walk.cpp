#include "supervision/config_walk.h"

#include <new>
#include <utility>

#include "markup/markup.h"
#include "supervision/atoi_value.h"

namespace {

namespace n = config_name;

void ReadSocket(CXmlDocument& document, const SystemFacts& facts, AppConfig* app) {
    app->ip = document.GetAttribute(n::kIp);
    app->port = AtoiValue(document.GetAttribute(n::kPort));
    app->address.family = facts.ipv4Family;
    // Ports outside 0..65535 keep only their low 16 bits, as a cast would.
    app->address.port = facts.hostToNetwork16(static_cast<uint16_t>(app->port & 0xFFFF));
    uint32_t address = 0;
    if (facts.parseIpv4(app->ip.c_str(), &address)) {
        app->address.address = address;
    }
}

void ReadSubApp(CXmlDocument& document, char separator, AppConfig* app) {
    app->subAppName = document.GetAttribute(n::kName);
    app->startPath = document.GetAttribute(n::kStartPath);
    app->stopPath = document.GetAttribute(n::kStopPath);
    document.IntoElement();
    document.ResetMainPosition();
    // Entries past the 16th are read over and ignored.
    for (int k = 0; document.FindElement(n::kFileMonitor); ++k) {
        if (k < kMaxFileMonitors) {
            app->fileMonitor[static_cast<size_t>(k)] =
                NormaliseFolder(document.GetElementText(), separator);
        }
    }
    document.ResetMainPosition();
    if (document.FindElement(n::kPicMonitor)) {
        app->picMonitor = NormaliseFolder(document.GetElementText(), separator);
    }
    document.OutOfElement();
}

}  // namespace

const std::vector<KnownConfigElement>& KnownConfigElements() {
    static const std::vector<KnownConfigElement> known = {
        {n::kConfig, nullptr, {}},
        {n::kApp, n::kConfig, {n::kName, n::kPath}},
        {n::kStatus, n::kConfig, {n::kFolder}},
        {n::kJournal, n::kConfig, {n::kFolder, n::kDays}},
        {n::kControl, n::kConfig, {n::kGroup, n::kMaxPauseHours}},
        {n::kSocket, n::kApp, {n::kIp, n::kPort}},
        {n::kSubApp, n::kApp, {n::kName, n::kStartPath, n::kStopPath}},
        {n::kFileMonitor, n::kSubApp, {}},
        {n::kPicMonitor, n::kSubApp, {}},
    };
    return known;
}

std::string NormaliseFolder(const std::string& folder, char separator) {
    if (folder.empty() || folder.back() == separator) {
        return folder;
    }
    return folder + separator;
}

bool LoadConfigDocument(const std::string& configPath, CXmlDocument& document, bool* outOfMemory) {
    if (document.LoadFile(configPath.c_str())) {
        return true;
    }
    if (outOfMemory != nullptr && document.GetOutcome().status == XmlStatus::kOutOfMemory) {
        *outOfMemory = true;
    }
    return false;
}

namespace {

// An attribute of the first `element` directly inside the top `config`
// element; empty when there is none. Leaves the positions reset.
std::string OptionAttribute(CXmlDocument& document, const char* element, const char* attribute) {
    document.ResetPosition();
    std::string value;
    if (document.FindElement(n::kConfig)) {
        document.IntoElement();
        if (document.FindElement(element)) {
            value = document.GetAttribute(attribute);
        }
    }
    document.ResetPosition();
    return value;
}

}  // namespace

std::string ResolvePath(const std::string& path, const std::string& base,
                        const SystemFacts& facts) {
    return path.empty() || facts.isAbsolutePath(path) ? path : base + path;
}

std::string StatusFolder(CXmlDocument& document, const std::string& daemonFolder,
                         const SystemFacts& facts) {
    return ResolvePath(OptionAttribute(document, n::kStatus, n::kFolder), daemonFolder, facts);
}

namespace {

// A whole number from 1 to `max` written with at most `digits` digits, or `fallback`.
int SmallNumber(const std::string& text, std::size_t digits, int max, int fallback) {
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != text.npos) {
        return fallback;
    }
    const int value = std::stoi(text);
    return value >= 1 && value <= max ? value : fallback;
}

}  // namespace

ControlSettings ControlSettingsOf(CXmlDocument& document) {
    ControlSettings settings;
    settings.group = OptionAttribute(document, n::kControl, n::kGroup);
    settings.maxPauseHours = SmallNumber(OptionAttribute(document, n::kControl, n::kMaxPauseHours),
                                         3, kMaxPauseHoursLimit, kDefaultPauseHours);
    return settings;
}

JournalSettings JournalSettingsOf(CXmlDocument& document, const std::string& daemonFolder,
                                  const SystemFacts& facts) {
    JournalSettings settings;
    settings.folder =
        ResolvePath(OptionAttribute(document, n::kJournal, n::kFolder), daemonFolder, facts);
    settings.days = SmallNumber(OptionAttribute(document, n::kJournal, n::kDays), 3,
                                kJournalMaxDays, kJournalDefaultDays);
    return settings;
}

int CountConfigApps(CXmlDocument& document) {
    int count = 0;
    if (document.CheckWellFormed()) {
        document.ResetPosition();
        if (document.FindElement(n::kConfig)) {
            document.IntoElement();
            while (count < kMaxApplications && document.FindElement(n::kApp)) {
                ++count;
            }
        }
        document.ResetPosition();
    }
    return count;
}

bool FindReadSubApp(CXmlDocument& document) {
    // From the main position: the socket when one was found, else the start.
    return document.FindElement(n::kSubApp);
}

int WalkConfigFile(const std::string& configPath, const SystemFacts& facts,
                   const AppConfigSink& take, bool* outOfMemory,
                   const std::function<void(CXmlDocument&, bool loaded)>& seen) {
    int taken = 0;
    try {
        CXmlDocument document;
        const bool loaded = LoadConfigDocument(configPath, document, outOfMemory);
        if (seen) {
            seen(document, loaded);
        }
        if (!loaded) {
            return 0;
        }
        return WalkConfigDocument(document, facts, [&](std::unique_ptr<AppConfig> app) {
            take(std::move(app));
            ++taken;
        });
    } catch (const std::bad_alloc&) {
        // The rest of the file is not used; what was handed on stays.
        if (outOfMemory != nullptr) {
            *outOfMemory = true;
        }
        return taken;
    }
}

int WalkConfigDocument(CXmlDocument& document, const SystemFacts& facts,
                       const AppConfigSink& take) {
    if (!document.CheckWellFormed()) {
        return 0;
    }
    document.ResetPosition();
    if (!document.FindElement(n::kConfig)) {
        return 0;
    }
    document.IntoElement();
    int taken = 0;
    while (document.FindElement(n::kApp)) {
        if (taken == kMaxApplications) {
            break;
        }
        auto app = std::make_unique<AppConfig>();
        app->name = document.GetAttribute(n::kName);
        app->path = document.GetAttribute(n::kPath);
        document.IntoElement();
        if (document.FindElement(n::kSocket)) {
            ReadSocket(document, facts, app.get());
        }
        if (FindReadSubApp(document)) {
            ReadSubApp(document, facts.pathSeparator, app.get());
        }
        document.OutOfElement();
        ++taken;
        take(std::move(app));
    }
    return taken;
}
