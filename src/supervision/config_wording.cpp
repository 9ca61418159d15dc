#include "supervision/config_wording.h"

#include <cstddef>
#include <map>

#include "supervision/config_check.h"
#include "supervision/log_sanitize.h"
#include "supervision/text_place.h"

namespace config_wording {

namespace {

// Longest name a finding quotes; a longer one is cut, as no name the daemon
// reads comes near it.
constexpr std::size_t kShownNameBytes = 40;

// One problem of the parse, with where it was met.
std::string Problem(const XmlOutcome& problem, const std::string& text, const SystemFacts& facts) {
    PlaceCounter places(text, facts);
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

}  // namespace

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

std::string ShownName(std::string_view name) {
    const bool cut = name.size() > kShownNameBytes;
    return SanitizeForLog(std::string(name.substr(0, kShownNameBytes))) + (cut ? "..." : "");
}

std::string Listed(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return out;
}

std::string LoadFailure(const XmlOutcome& outcome, const std::vector<XmlOutcome>& problems,
                        const std::string& text, const SystemFacts& facts) {
    switch (outcome.status) {
        case XmlStatus::kFileNotRead:
            return "cannot be read: " + facts.errorText(outcome.systemError);
        case XmlStatus::kOutOfMemory:
            return "out of memory";
        case XmlStatus::kEmptyText:
            return "empty file";
        default:
            break;
    }
    std::string said;
    for (const XmlOutcome& problem : problems) {
        said += (said.empty() ? "" : "; ") + Problem(problem, text, facts);
    }
    return "not well-formed: " + (said.empty() ? Problem(outcome, text, facts) : said);
}

}  // namespace config_wording

int CheckExitCode(const ConfigCheck& check) {
    if (!check.loaded) {
        return 2;
    }
    return check.findings.empty() ? 0 : 1;
}

std::string FindingLine(const ConfigCheck& check, const ConfigFinding& finding) {
    const bool app = finding.app >= 0 && static_cast<std::size_t>(finding.app) < check.apps.size();
    return (app ? "app " + std::to_string(finding.app + 1) + " " +
                      config_wording::Quoted(check.apps[static_cast<std::size_t>(finding.app)].name)
                : std::string("config.xml")) +
           ": " + finding.text;
}

namespace {

// A kind of finding in the plural, as "and N more" names it.
const char* KindInPlural(Pitfall pitfall) {
    switch (pitfall) {
        case Pitfall::kNotLoaded:
            return "files not loaded";
        case Pitfall::kTopNotConfig:
            return "top elements that are not config";
        case Pitfall::kBeyondTwenty:
            return "app elements after the 20th";
        case Pitfall::kEmptyName:
            return "empty names";
        case Pitfall::kNoSocket:
            return "apps without a socket element";
        case Pitfall::kBadIp:
            return "ips that are not dotted IPv4";
        case Pitfall::kBadPort:
            return "ports that are not plain numbers";
        case Pitfall::kSubAppBeforeSocket:
            return "subApp elements before the socket element";
        case Pitfall::kEmptyFileMonitor:
            return "empty fileMonitor entries";
        case Pitfall::kTooManyFileMonitors:
            return "lists of more than 16 fileMonitor elements";
        case Pitfall::kSecondPicMonitor:
            return "second picMonitor elements";
        case Pitfall::kMissingFolder:
            return "missing folders";
        case Pitfall::kProgramNotFound:
            return "programs not found";
        case Pitfall::kSameEndpoint:
            return "endpoints watched twice";
        case Pitfall::kSameName:
            return "names used twice";
        case Pitfall::kStatusNotWritable:
            return "status folders that cannot be written";
        case Pitfall::kUnknownElement:
            return "unknown or misplaced elements";
        case Pitfall::kUnknownAttribute:
            return "unknown attributes";
        case Pitfall::kRelativeFolder:
            return "relative folders";
        case Pitfall::kRelativeCommand:
            return "commands started by a relative path";
        case Pitfall::kRepeatedAttribute:
            return "attributes written again";
        case Pitfall::kNoApplication:
            return "files that name no application";
    }
    return "findings";
}

}  // namespace

std::vector<std::string> FindingLines(const ConfigCheck& check, std::size_t perKind) {
    std::map<Pitfall, std::size_t> total;
    for (const ConfigFinding& finding : check.findings) {
        ++total[finding.pitfall];
    }
    std::map<Pitfall, std::size_t> shown;
    std::vector<std::string> lines;
    for (const ConfigFinding& finding : check.findings) {
        const std::size_t nth = ++shown[finding.pitfall];
        if (nth > perKind) {
            continue;
        }
        lines.push_back(FindingLine(check, finding));
        const std::size_t all = total[finding.pitfall];
        if (nth == perKind && all > perKind) {
            lines.push_back("and " + std::to_string(all - perKind) + " more " +
                            KindInPlural(finding.pitfall));
        }
    }
    return lines;
}
