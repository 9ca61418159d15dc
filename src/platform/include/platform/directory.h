// Directory listing for the result-file checks.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Names of the entries (files and sub-folders alike, "." and ".." left out)
// of `folder`, which ends with a path separator, whose names end in "." and
// `extension`, compared without regard to ASCII letter case; an empty
// `extension` takes every entry. A folder that does not exist or cannot be
// read gives an empty list. Safe to call from several threads at once.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& extension);

}  // namespace platform
