#include "supervision/config_wording.h"

#include <cstddef>

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
