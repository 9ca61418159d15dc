// The platform's side of reading and checking config.xml: its facts, and
// the file-system probe of the check, as the user who runs it sees them.
#pragma once

#include <string>

#include "supervision/config_check.h"
#include "supervision/system_facts.h"

// The system's facts from the platform layer; the same object every call.
const SystemFacts& PlatformFacts();

class PlatformConfigProbe final : public ConfigProbe {
  public:
    PlatformConfigProbe() : ConfigProbe(PlatformFacts()) {}
    bool FolderExists(const std::string& folder) override;
    bool FolderWritable(const std::string& folder) override;
    bool ProgramFound(const std::string& commandLine, const std::string& ownFolder) override;
    bool SameFile(const std::string& a, const std::string& b) override;
    std::string ServiceFolder(const std::string& daemonFolder, std::string* why) override;
};
