#include "daemon/status_config.h"

#include "daemon/config_check.h"
#include "platform/folder_probe.h"
#include "platform/program_search.h"

namespace {

class PlatformProbe final : public ConfigProbe {
  public:
    bool FolderExists(const std::string& folder) override { return platform::FolderExists(folder); }
    bool FolderWritable(const std::string& folder) override {
        return platform::FolderWritable(folder);
    }
    bool ProgramFound(const std::string& commandLine, const std::string& ownFolder) override {
        return !platform::FindProgram(commandLine, ownFolder).empty();
    }
};

}  // namespace

int32_t CountConfigPitfalls(CXmlDocument& document, const std::string& configFolder) {
    PlatformProbe probe;
    return static_cast<int32_t>(CheckConfigDocument(document, configFolder, probe).findings.size());
}
