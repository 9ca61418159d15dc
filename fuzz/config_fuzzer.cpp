// Any bytes as config.xml through the configuration walk: at most the
// configured number of records, folders normalised, nothing written beyond
// the sixteen result folders, and a walk that always ends.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "daemon/app_config.h"
#include "daemon/config_walk.h"
#include "fuzz_check.h"
#include "markup/markup.h"
#include "platform/system.h"
#include "platform/tcp_client.h"

namespace {

void CheckFolder(const std::string& folder) {
    FUZZ_CHECK(folder.empty() || folder.back() == platform::kPathSeparator);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXmlDocument doc;
    doc.SetDocText(std::string(reinterpret_cast<const char*>(data), size));
    int taken = 0;
    const int count = WalkConfigDocument(doc, [&taken](std::unique_ptr<AppConfig> config) {
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
    return 0;
}
