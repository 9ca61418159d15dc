#include "daemon/platform_config.h"

#include "platform/ansi.h"
#include "platform/error_text.h"
#include "platform/folder_probe.h"
#include "platform/program_search.h"
#include "platform/system.h"
#include "platform/tcp_client.h"

const SystemFacts& PlatformFacts() {
    static const SystemFacts facts{
        platform::kPathSeparator, platform::kPathSeparators,   platform::IsAbsolutePath,
        platform::ParseIpv4,      platform::kIpv4Family,       platform::HostToNetwork16,
        platform::AnsiCodePage(), platform::AnsiCharLengths(), platform::ErrorText};
    return facts;
}

bool PlatformConfigProbe::FolderExists(const std::string& folder) {
    return platform::FolderExists(folder);
}

bool PlatformConfigProbe::FolderWritable(const std::string& folder) {
    return platform::FolderWritable(folder);
}

bool PlatformConfigProbe::ProgramFound(const std::string& commandLine,
                                       const std::string& ownFolder) {
    return !platform::FindProgram(commandLine, ownFolder).empty();
}

bool PlatformConfigProbe::SameFile(const std::string& a, const std::string& b) {
    return platform::SameFile(a, b);
}

std::string PlatformConfigProbe::ServiceFolder(const std::string& daemonFolder, std::string* why) {
    return platform::ServiceCurrentFolder(daemonFolder, why);
}
