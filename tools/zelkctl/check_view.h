// zelkctl check as text: what the daemon does for each application, then one
// line per pitfall. A pure function of the check's result.
#pragma once

#include <string>

#include "daemon/config_check.h"

namespace zelkctl {

// `configPath` names the file in the first line.
std::string CheckReport(const ConfigCheck& check, const std::string& configPath);

}  // namespace zelkctl
