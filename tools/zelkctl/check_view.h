// zelkctl check as text: what the daemon does for each application, then one
// line per pitfall. A pure function of the check's result and the facts of
// the system it was checked for.
#pragma once

#include <string>

#include "supervision/config_check.h"
#include "supervision/system_facts.h"

namespace zelkctl {

// `configPath` names the file in the first line.
std::string CheckReport(const ConfigCheck& check, const std::string& configPath,
                        const SystemFacts& facts);

}  // namespace zelkctl
