#include "zelkctl/command_support.h"

#include "daemon/platform_config.h"
#include "markup/markup.h"
#include "platform/error_text.h"
#include "platform/file_read.h"
#include "platform/folder_probe.h"
#include "platform/system.h"
#include "supervision/config_check.h"
#include "supervision/config_walk.h"
#include "zelkctl/event_text.h"

namespace zelkctl {

namespace {

// The folder of zelkctl, which is installed beside the daemon; empty when
// the platform cannot tell.
std::string OwnFolder() {
    const std::string program = platform::ExecutablePath();
    return program.empty() ? std::string() : platform::FolderOf(program);
}

}  // namespace

void TellError(const std::string& message) {
    std::fprintf(stderr, "zelkctl: %s\n", Printable(message).c_str());
}

int AfterOutput(int code, int failed) {
    platform::ClearLastErrorCode();
    const bool flushed = std::fflush(stdout) == 0;
    const int32_t error = platform::LastErrorCode();
    if (flushed && std::ferror(stdout) == 0) {
        return code;
    }
    TellError("cannot write the output" + (error != 0 ? ": " + platform::ErrorText(error) : ""));
    return failed;
}

int ShowHelp(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    return AfterOutput(0, kUsageError);
}

bool ReadSmallFile(const std::string& path, int32_t maxBytes, const char* what, std::string* text,
                   std::string* error, Links links) {
    platform::ClearLastErrorCode();
    std::FILE* file = links == Links::kFollow ? platform::OpenFileForReading(path.c_str())
                                              : platform::OpenRegularFileForReading(path.c_str());
    if (file == nullptr) {
        *error = "cannot read " + path + ": " + platform::ErrorText(platform::LastErrorCode());
        return false;
    }
    const int32_t size = platform::FileStreamSize(file);
    bool ok = size >= 0 && size <= maxBytes;
    if (!ok) {
        *error = size < 0
                     ? "cannot read " + path + ": " + platform::ErrorText(platform::LastErrorCode())
                     : path + " is too large for a " + what;
    } else {
        text->resize(static_cast<std::size_t>(size));
        ok = size == 0 || std::fread(&(*text)[0], 1, text->size(), file) == text->size();
        if (!ok) {
            *error = "cannot read " + path + ": read error";
        }
    }
    std::fclose(file);
    return ok;
}

std::string DefaultConfigPath() {
    const std::string folder = OwnFolder();
    return folder.empty() ? std::string() : folder + "config.xml";
}

std::string DaemonFolder(const std::string& configPath) {
    PlatformConfigProbe probe;
    return DaemonFolderFor(configPath, OwnFolder(), probe);
}

bool FolderFromConfig(const std::string& configPath, const char* alternative,
                      std::string (*read)(CXmlDocument& document, const std::string& daemonFolder),
                      std::string* folder, std::string* usedPath, std::string* error) {
    const std::string given = configPath.empty() ? DefaultConfigPath() : configPath;
    if (given.empty()) {
        *error = std::string("cannot tell the folder of zelkctl: give --config or ") + alternative;
        return false;
    }
    *usedPath = platform::AbsolutePath(given);
    CXmlDocument document;
    if (!LoadConfigDocument(*usedPath, document)) {
        platform::ClearLastErrorCode();
        std::FILE* file = platform::OpenFileForReading(usedPath->c_str());
        const int code = platform::LastErrorCode();
        if (file == nullptr) {
            *error = "cannot read " + *usedPath + ": " + platform::ErrorText(code);
        } else {
            std::fclose(file);
            *error = "cannot use " + *usedPath + ": not loaded (zelkctl check tells why)";
        }
        return false;
    }
    *folder = read(document, DaemonFolder(*usedPath));
    return !folder->empty();
}

}  // namespace zelkctl
