#include "daemon/config_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "daemon/config_walk.h"
#include "markup/markup.h"
#include "platform/ansi.h"
#include "platform/error_text.h"
#include "platform/system.h"
#include "platform/tcp_client.h"
#include "supervision/log_sanitize.h"

namespace {

namespace n = config_name;

// Longest name a finding quotes; a longer one is cut, as no name the daemon
// reads comes near it.
constexpr std::size_t kShownNameBytes = 40;
// The UTF-8 code page, where a character's trail bytes are no columns.
constexpr int kCodePageUtf8 = 65001;

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

// A name from the file as a finding shows it: control characters escaped,
// a long one cut.
std::string ShownName(std::string_view name) {
    const bool cut = name.size() > kShownNameBytes;
    return SanitizeForLog(std::string(name.substr(0, kShownNameBytes))) + (cut ? "..." : "");
}

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return out;
}

// Places of offsets in one text: an offset at or after the last one asked
// for is counted on from there, so places asked for in the order of the
// text cost one pass over it.
class PlaceCounter {
  public:
    explicit PlaceCounter(const std::string& text)
        : text_(text),
          utf8_(platform::AnsiCodePage() == kCodePageUtf8),
          charLength_(platform::AnsiCharLengths()) {}

    TextPlace At(int32_t offset) {
        const std::size_t end =
            std::min(static_cast<std::size_t>(std::max(offset, 0)), text_.size());
        if (end < at_) {
            at_ = 0;
            place_ = TextPlace{1, 1};
            afterCr_ = false;
        }
        while (at_ < end) {
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            // CR LF is one line break, as a lone CR or LF is.
            if (c == '\r' || (c == '\n' && !afterCr_)) {
                ++place_.line;
                place_.column = 1;
            } else if (c != '\n' && (!utf8_ || (c & 0xC0) != 0x80)) {
                ++place_.column;
            }
            afterCr_ = c == '\r';
            at_ += utf8_ ? 1 : charLength_[c];
        }
        return place_;
    }

    std::string Said(int32_t offset) {
        const TextPlace place = At(offset);
        return "line " + std::to_string(place.line) + ", column " + std::to_string(place.column);
    }

  private:
    const std::string& text_;
    const bool utf8_;
    const uint8_t* const charLength_;
    std::size_t at_ = 0;
    TextPlace place_{1, 1};
    bool afterCr_ = false;
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

bool Is(std::string_view name, const char* known) {
    return name == std::string_view(known);
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
        app.fileMonitors = ChildTexts(document, n::kFileMonitor);
        app.picMonitors = ChildTexts(document, n::kPicMonitor);
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

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Edits (insertions, deletions, substitutions, swaps of neighbours) that
// turn `a` into `b`, ASCII case ignored; above `limit` it gives limit + 1.
int NameDistance(std::string_view a, std::string_view b, int limit) {
    const int la = static_cast<int>(a.size());
    const int lb = static_cast<int>(b.size());
    if (std::abs(la - lb) > limit) {
        return limit + 1;
    }
    std::vector<std::vector<int>> d(static_cast<std::size_t>(la) + 1,
                                    std::vector<int>(static_cast<std::size_t>(lb) + 1));
    for (int i = 0; i <= la; ++i) {
        for (int j = 0; j <= lb; ++j) {
            int& here = d[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (i == 0 || j == 0) {
                here = i + j;
                continue;
            }
            const auto at = [&](int x, int y) {
                return d[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
            };
            const char ca = Lower(a[static_cast<std::size_t>(i - 1)]);
            const char cb = Lower(b[static_cast<std::size_t>(j - 1)]);
            here = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + (ca != cb)});
            if (i > 1 && j > 1 && ca == Lower(b[static_cast<std::size_t>(j - 2)]) &&
                Lower(a[static_cast<std::size_t>(i - 2)]) == cb) {
                here = std::min(here, at(i - 2, j - 2) + 1);
            }
        }
    }
    return std::min(d.back().back(), limit + 1);
}

// The known name `name` most resembles, when it is close enough to be a
// slip of the keyboard: at most one edit in three letters (one at least).
const char* Resembled(std::string_view name, const std::vector<const char*>& known) {
    const char* best = nullptr;
    int bestDistance = 0;
    for (const char* candidate : known) {
        const int limit = std::max<int>(1, static_cast<int>(std::strlen(candidate)) / 3);
        const int distance = NameDistance(name, candidate, limit);
        if (distance <= limit && (best == nullptr || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

// "did you mean X?" for the known name `known` that `name` resembles (an
// element's in angle brackets); a difference of letter case alone is named.
std::string Guess(std::string_view name, const char* known, bool element) {
    const std::string shown = element ? "<" + std::string(known) + ">" : std::string(known);
    return "did you mean " + shown + "?" +
           (NameDistance(name, known, 0) == 0 ? " names are case-sensitive" : "");
}

// Names every element and attribute of the configuration that the daemon
// does not read where it stands, with the known name it most resembles.
class NameCheck {
  public:
    struct Found {
        Pitfall pitfall;
        int app;  // index of the app element it is in (any of them); -1 outside
        std::string text;
    };

    explicit NameCheck(CXmlDocument& document)
        : document_(document), places_(document.GetDocText()) {}

    // Walks the elements from the top element, which is `config`.
    std::vector<Found> Run() {
        document_.ResetPosition();
        document_.FindElement(n::kConfig);
        Element(*Known(nullptr, n::kConfig), -1);
        document_.ResetPosition();
        return std::move(found_);
    }

  private:
    static const KnownConfigElement* Known(const char* parent, std::string_view name) {
        for (const KnownConfigElement& known : KnownConfigElements()) {
            const bool sameParent = parent == nullptr ? known.parent == nullptr
                                                      : known.parent != nullptr &&
                                                            std::strcmp(known.parent, parent) == 0;
            if (sameParent && Is(name, known.name)) {
                return &known;
            }
        }
        return nullptr;
    }

    // The known element at the main position: its attributes, then its children.
    void Element(const KnownConfigElement& known, int app) {
        std::string_view attribute;
        std::string_view value;
        std::vector<std::pair<std::string_view, std::string_view>> seen;
        for (int32_t i = 0; document_.GetAttributeAt(i, &attribute, &value); ++i) {
            if (std::none_of(known.attributes.begin(), known.attributes.end(),
                             [&](const char* name) { return Is(attribute, name); })) {
                UnknownAttribute(known, attribute, app);
                continue;
            }
            const auto first = std::find_if(seen.begin(), seen.end(), [&](const auto& earlier) {
                return earlier.first == attribute;
            });
            if (first == seen.end()) {
                seen.emplace_back(attribute, value);
            } else {
                RepeatedAttribute(known, attribute, first->second, value, app);
            }
        }
        document_.IntoElement();
        while (document_.FindElement(nullptr)) {
            const std::string_view name = document_.GetElementName();
            const int owner = Is(known.name, n::kConfig) && Is(name, n::kApp) ? apps_++ : app;
            if (const KnownConfigElement* child = Known(known.name, name)) {
                Element(*child, owner);
            } else {
                UnknownElement(known, name, owner);
            }
        }
        document_.OutOfElement();
    }

    // The known element named `name` that is read inside another one; null
    // when there is none.
    static const KnownConfigElement* Nested(std::string_view name) {
        for (const KnownConfigElement& known : KnownConfigElements()) {
            if (known.parent != nullptr && Is(name, known.name)) {
                return &known;
            }
        }
        return nullptr;
    }

    // An element that is misplaced, misspelt, or neither: the name it most
    // resembles among those read where it stands, else among all the others.
    void UnknownElement(const KnownConfigElement& parent, std::string_view name, int app) {
        std::vector<const char*> here;
        std::vector<const char*> nested;
        for (const KnownConfigElement& known : KnownConfigElements()) {
            if (known.parent != nullptr) {
                nested.push_back(known.name);
                if (std::strcmp(known.parent, parent.name) == 0) {
                    here.push_back(known.name);
                }
            }
        }
        const std::string shown = "<" + ShownName(name) + ">";
        const std::string in = "<" + std::string(parent.name) + ">";
        std::string text;
        if (const KnownConfigElement* misplaced = Nested(name)) {
            text = shown + " belongs in <" + misplaced->parent + ">, not in " + in;
        } else if (const char* guess = Resembled(name, here)) {
            text = "unknown element " + shown + " in " + in + " (" + Guess(name, guess, true) + ")";
        } else if (const char* far = Resembled(name, nested)) {
            text = "unknown element " + shown + " in " + in + " (did you mean <" + far +
                   ">, which belongs in <" + Nested(far)->parent + ">?)";
        } else {
            std::vector<std::string> names;
            for (const char* known : here) {
                names.push_back("<" + std::string(known) + ">");
            }
            text = "unknown element " + shown + " in " + in + " (" +
                   (names.empty() ? "the daemon reads no element there"
                                  : "the daemon reads " + Listed(names) + " there") +
                   ")";
        }
        Add(Pitfall::kUnknownElement, app, document_.GetElementOffset(),
            text + ": the daemon ignores it and all it holds");
    }

    void UnknownAttribute(const KnownConfigElement& element, std::string_view name, int app) {
        const std::string& text = document_.GetDocText();
        const int32_t offset = static_cast<int32_t>(name.data() - text.data());
        std::string said = "unknown attribute " + ShownName(name) + " of <" + element.name + "> (";
        if (const char* guess = Resembled(name, element.attributes)) {
            said += Guess(name, guess, false);
        } else if (element.attributes.empty()) {
            said += "the daemon reads no attribute of it";
        } else {
            said += "the daemon reads " +
                    Listed(std::vector<std::string>(element.attributes.begin(),
                                                    element.attributes.end())) +
                    " there";
        }
        Add(Pitfall::kUnknownAttribute, app, offset, said + "): the daemon ignores it");
    }

    // A known attribute written again in one start tag: the engine answers
    // with the first, so the later ones change nothing.
    void RepeatedAttribute(const KnownConfigElement& element, std::string_view name,
                           std::string_view used, std::string_view ignored, int app) {
        const int32_t offset = static_cast<int32_t>(name.data() - document_.GetDocText().data());
        Add(Pitfall::kRepeatedAttribute, app, offset,
            "attribute " + std::string(name) + " of <" + element.name +
                "> written again: the daemon reads the first, \"" + ShownName(used) +
                "\", and ignores \"" + ShownName(ignored) + "\"");
    }

    void Add(Pitfall pitfall, int app, int32_t offset, const std::string& text) {
        found_.push_back(Found{pitfall, app, places_.Said(offset) + ": " + text});
    }

    CXmlDocument& document_;
    PlaceCounter places_;
    int apps_ = 0;  // app elements met so far
    std::vector<Found> found_;
};

class Checker {
  public:
    Checker(ConfigCheck* check, ConfigProbe& probe) : check_(*check), probe_(probe) {
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
        if (element.hasSubApp) {
            CheckCommand(n::kStopPath, app.stopPath);
            CheckCommand(n::kStartPath, app.startPath);
        }
        if (app.picMonitor.empty()) {
            return;
        }
        if (!platform::IsAbsolutePath(app.picMonitor)) {
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
        const std::string there = ResolvePath(folder, serviceFolder_);
        Add(Pitfall::kRelativeFolder,
            what + " " + Quoted(folder) + " is relative, so it depends on " + CurrentFolder(there) +
                (probe_.FolderExists(there) ? "" : ", which does not exist") + InConsoleMode());
    }

    // A command the shell runs from the daemon's current folder, whose
    // program is named by a relative path (bin/un.sh, scripts\install.cmd); a bare
    // name is looked up along the search path and is left alone.
    void CheckCommand(const char* what, const std::string& command) {
        const std::string program = CommandProgram(command);
        if (program.find_first_of(platform::kPathSeparators) == std::string::npos ||
            platform::IsAbsolutePath(program)) {
            return;
        }
        Add(Pitfall::kRelativeCommand,
            std::string(what) + " " + Quoted(command) + " starts " + Quoted(program) +
                " by a relative path, so it depends on " +
                CurrentFolder(ResolvePath(program, serviceFolder_)) + InConsoleMode());
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
            if (!platform::IsAbsolutePath(folder)) {
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
    ConfigProbe& probe_;
    std::string serviceFolder_;
    std::string serviceWhy_;
    int index_ = -1;
};

// One problem of the parse, with where it was met.
std::string Problem(const XmlOutcome& problem, const std::string& text) {
    PlaceCounter places(text);
    const std::string at = " at " + places.Said(problem.offset);
    switch (problem.status) {
        case XmlStatus::kNoRootElement:
            return "no element";
        case XmlStatus::kRootHasSibling:
            return "a second top element" + at;
        case XmlStatus::kLoneEndTag:
            return "an end tag that closes nothing" + at;
        case XmlStatus::kUnendedStartTag:
            return "a start tag without its end tag" + at +
                   (problem.offset2 >= static_cast<int32_t>(text.size())
                        ? std::string(", open to the end of the file")
                        : ", closed by the end tag at " + places.Said(problem.offset2));
        case XmlStatus::kBadMarkup:
            return "markup that cannot be read" + at;
        case XmlStatus::kUnterminatedMarkup:
            return "markup cut off by the end of the file" + at;
        case XmlStatus::kTagTooLong:
            return "a tag too long" + at;
        case XmlStatus::kNestingTooDeep:
            return "elements nested too deep" + at;
        case XmlStatus::kWellFormed:
        case XmlStatus::kFileNotRead:
        case XmlStatus::kOutOfMemory:
        case XmlStatus::kEmptyText:
            break;
    }
    return "not well-formed";
}

// Why the engine refused the file, from its typed outcome.
std::string LoadFailure(const XmlOutcome& outcome, const std::vector<XmlOutcome>& problems,
                        const std::string& text) {
    switch (outcome.status) {
        case XmlStatus::kFileNotRead:
            return "cannot be read: " + platform::ErrorText(outcome.systemError);
        case XmlStatus::kOutOfMemory:
            return "out of memory";
        case XmlStatus::kEmptyText:
            return "empty file";
        default:
            break;
    }
    std::string said;
    for (const XmlOutcome& problem : problems) {
        said += (said.empty() ? "" : "; ") + Problem(problem, text);
    }
    return "not well-formed: " + (said.empty() ? Problem(outcome, text) : said);
}

}  // namespace

int CheckExitCode(const ConfigCheck& check) {
    if (!check.loaded) {
        return 2;
    }
    return check.findings.empty() ? 0 : 1;
}

std::string FindingLine(const ConfigCheck& check, const ConfigFinding& finding) {
    const bool app = finding.app >= 0 && static_cast<std::size_t>(finding.app) < check.apps.size();
    return (app ? "app " + std::to_string(finding.app + 1) + " " +
                      Quoted(check.apps[static_cast<std::size_t>(finding.app)].name)
                : std::string("config.xml")) +
           ": " + finding.text;
}

std::string DaemonFolderFor(const std::string& configPath, const std::string& toolFolder,
                            ConfigProbe& probe) {
    if (!toolFolder.empty() && probe.SameFile(toolFolder + "config.xml", configPath)) {
        return toolFolder;
    }
    return platform::FolderOf(configPath);
}

TextPlace PlaceInText(const std::string& text, int32_t offset) {
    return PlaceCounter(text).At(offset);
}

ConfigCheck CheckConfigDocument(CXmlDocument& document, const std::string& daemonFolder,
                                ConfigProbe& probe) {
    ConfigCheck check;
    check.daemonFolder = daemonFolder;
    Checker checker(&check, probe);
    WalkConfigDocument(document,
                       [&](std::unique_ptr<AppConfig> app) { check.apps.push_back(*app); });
    check.statusFolder = StatusFolder(document, daemonFolder);
    if (!check.statusFolder.empty() && !probe.FolderWritable(check.statusFolder)) {
        checker.Add(Pitfall::kStatusNotWritable,
                    "status folder " + Quoted(check.statusFolder) + " cannot be written" +
                        (probe.FolderExists(check.statusFolder) ? "" : " (it does not exist)") +
                        ": the daemon writes no status snapshot",
                    -1);
    }
    document.ResetPosition();
    if (!document.FindElement(n::kConfig)) {
        document.ResetPosition();
        document.FindElement(nullptr);
        checker.Add(Pitfall::kTopNotConfig,
                    "the top element is <" + ShownName(document.GetElementName()) +
                        ">, not <config>: the daemon starts no application",
                    -1);
        return check;
    }
    const std::vector<NameCheck::Found> names = NameCheck(document).Run();
    document.ResetPosition();
    document.FindElement(n::kConfig);
    document.IntoElement();
    std::vector<AppElement> elements;
    std::vector<std::string> unwatched;
    while (document.FindElement(n::kApp)) {
        if (elements.size() < check.apps.size()) {
            elements.push_back(ReadAppElement(document));
        } else {
            unwatched.push_back(document.GetAttribute(n::kName));
        }
    }
    if (!unwatched.empty()) {
        checker.Add(Pitfall::kBeyondTwenty,
                    std::to_string(unwatched.size()) +
                        " app elements after the 20th are never watched: " + QuotedList(unwatched),
                    -1);
    }
    // Names outside the watched applications belong to the file; within one,
    // they come first among its findings, as they often explain the others.
    for (const NameCheck::Found& found : names) {
        if (found.app < 0 || static_cast<std::size_t>(found.app) >= elements.size()) {
            checker.Add(
                found.pitfall,
                (found.app < 0 ? "" : "app " + std::to_string(found.app + 1) + ": ") + found.text,
                -1);
        }
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
        for (const NameCheck::Found& found : names) {
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
            failure =
                LoadFailure(document.GetOutcome(), document.GetProblems(), document.GetDocText());
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
