// Any bytes as config.xml through the configuration walk: at most the
// configured number of records, folders normalised, nothing written beyond
// the sixteen result folders, and a walk that always ends. Then through the
// check: its records are the walk's, every finding belongs to the file or to
// a watched application, and places stay inside the text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "daemon/platform_config.h"
#include "fuzz_check.h"
#include "markup/markup.h"
#include "platform/system.h"
#include "platform/tcp_client.h"
#include "supervision/app_config.h"
#include "supervision/config_check.h"
#include "supervision/config_walk.h"
#include "supervision/text_place.h"

namespace {

void CheckFolder(const std::string& folder) {
    FUZZ_CHECK(folder.empty() || folder.back() == platform::kPathSeparator);
}

// A file system in which nothing exists and every program is found.
class NoFiles : public ConfigProbe {
  public:
    NoFiles() : ConfigProbe(PlatformFacts()) {}
    bool FolderExists(const std::string&) override { return false; }
    bool FolderWritable(const std::string&) override { return false; }
    bool ProgramFound(const std::string&, const std::string&) override { return true; }
    bool SameFile(const std::string&, const std::string&) override { return false; }
    std::string ServiceFolder(const std::string& daemonFolder, std::string* why) override {
        *why = "the service's";
        return daemonFolder;
    }
};

void Check(CXmlDocument& doc, int taken) {
    NoFiles probe;
    const std::string folder(1, platform::kPathSeparator);
    const ConfigCheck check = CheckConfigDocument(doc, folder, probe);
    FUZZ_CHECK(static_cast<int>(check.apps.size()) == taken);
    for (const ConfigFinding& finding : check.findings) {
        FUZZ_CHECK(finding.app >= -1 && finding.app < taken);
        FUZZ_CHECK(!FindingLine(check, finding).empty());
        FUZZ_CHECK(finding.text.find('\n') == std::string::npos);
    }
    const std::string& text = doc.GetDocText();
    const TextPlace end = PlaceInText(text, static_cast<int32_t>(text.size()), PlatformFacts());
    FUZZ_CHECK(end.line >= 1 && end.column >= 1 &&
               static_cast<size_t>(end.line) <= text.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXmlDocument doc;
    doc.SetDocText(std::string(reinterpret_cast<const char*>(data), size));
    int taken = 0;
    const int count =
        WalkConfigDocument(doc, PlatformFacts(), [&taken](std::unique_ptr<AppConfig> config) {
            FUZZ_CHECK(config != nullptr);
            ++taken;
            for (const std::string& folder : config->fileMonitor) {
                CheckFolder(folder);
            }
            CheckFolder(config->picMonitor);
            FUZZ_CHECK(platform::HostToNetwork16(static_cast<uint16_t>(config->port & 0xFFFF)) ==
                       config->address.port);
        });
    FUZZ_CHECK(count == taken);
    FUZZ_CHECK(count >= 0 && count <= kMaxApplications);
    if (doc.CheckWellFormed()) {
        Check(doc, taken);
    }
    return 0;
}
