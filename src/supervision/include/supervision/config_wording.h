// The words of the configuration check: how its findings quote what the
// file holds, and why the engine refused a file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "markup/outcome.h"
#include "supervision/system_facts.h"

namespace config_wording {

// `value` in double quotes, its control characters escaped.
std::string Quoted(const std::string& value);
// Quoted values joined by ", ".
std::string QuotedList(const std::vector<std::string>& values);
// A name from the file as a finding shows it: control characters escaped,
// one longer than any name the daemon reads cut with "...".
std::string ShownName(std::string_view name);
// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& items);

// Why the engine refused the file: "cannot be read: <the system's text>",
// "out of memory", "empty file", or "not well-formed: " and each problem
// met with its line and column in `text`.
std::string LoadFailure(const XmlOutcome& outcome, const std::vector<XmlOutcome>& problems,
                        const std::string& text, const SystemFacts& facts);

}  // namespace config_wording
