#include "zelkctl/evidence_command.h"

#include <algorithm>
#include <cstdio>

#include "daemon/platform_config.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/system.h"
#include "supervision/config_walk.h"
#include "zelkctl/command_support.h"
#include "zelkctl/event_text.h"

namespace zelkctl {

namespace {

// A note is a few KiB at most; a larger file is not one.
constexpr int32_t kMaxNoteBytes = 64 * 1024;

int EvidenceMain(const std::vector<std::string>& arguments) {
    return RunCommandLine(arguments, ParseEvidenceOptions, EvidenceHelp, RunEvidence);
}

bool FindFolder(const EvidenceOptions& options, std::string* folder, std::string* error) {
    if (!options.folder.empty()) {
        *folder = options.folder;
        return true;
    }
    std::string configPath;
    const auto evidenceFolder = [](CXmlDocument& document, const std::string& daemonFolder) {
        return EvidenceSettingsOf(document, daemonFolder, PlatformFacts()).folder;
    };
    if (!FolderFromConfig(options.configPath, "--folder", evidenceFolder, folder, &configPath,
                          error)) {
        if (error->empty()) {
            *error = configPath +
                     " has no <evidence folder=\"...\"/> element: the daemon takes no dumps";
        }
        return false;
    }
    return true;
}

// The kept dumps of `folder` (with its separator) and their notes.
std::vector<KeptEvidence> ReadFolder(const std::string& folder) {
    std::vector<KeptEvidence> dumps;
    for (const std::string& file : platform::ListFolder(folder, kEvidenceDumpExtension)) {
        KeptEvidence kept;
        kept.fileName = file;
        if (!ParseEvidenceDumpName(file, &kept.name) ||
            !platform::RegularFileBytes(folder + file, &kept.bytes)) {
            continue;
        }
        std::string text;
        std::string ignored;
        if (ReadSmallFile(folder + EvidenceNoteName(file), kMaxNoteBytes, "note", &text,
                          &ignored)) {
            ParseEvidenceNote(text, &kept.note);
        }
        dumps.push_back(std::move(kept));
    }
    return dumps;
}

}  // namespace

bool ParseEvidenceOptions(const std::vector<std::string>& arguments, EvidenceOptions* o,
                          std::string* error) {
    OptionScanner scan(arguments);
    while (scan.Next()) {
        std::string value;
        if (scan.Help()) {
            o->help = true;
        } else if (scan.Is("--config") || scan.Is("--folder")) {
            if (!scan.Value("path", &value, error) ||
                !SetOnce(scan.Name(), value, scan.Is("--config") ? &o->configPath : &o->folder,
                         error)) {
                return false;
            }
        } else if (scan.Is("--app")) {
            if (!scan.Value("name", &value, error)) {
                return false;
            }
            o->apps.push_back(value);
        } else {
            return scan.Unexpected(error);
        }
    }
    return ConfigExcludes(o->configPath, o->folder, "--folder", error);
}

std::string EvidenceHelp() {
    return R"(Usage: zelkctl evidence [--config PATH | --folder FOLDER] [--app NAME]...

Lists the dumps the daemon took of silent applications just before it
terminated them, oldest first: when, of which application and process, the
size, and the dump's file; under each, when the application's last message
came and how it ended, from the note (.txt) beside the dump. Hand both
files to the application's developers.

  --config PATH     the daemon's config.xml, whose <evidence folder="..."/>
                    element names the folder (a relative folder counts from
                    the daemon's folder); default: the config.xml beside zelkctl
  --folder FOLDER   list the dumps in FOLDER
  --app NAME        only this application (again for more)

Exit codes: 0 done (also when no dump is kept), 2 the folder cannot be
found, or the output cannot be written, 3 a bad command line.
)";
}

std::string EvidenceListing(std::vector<KeptEvidence> dumps, const std::vector<std::string>& apps,
                            const std::string& folder) {
    std::sort(dumps.begin(), dumps.end(), [](const KeptEvidence& a, const KeptEvidence& b) {
        return a.name.writtenAtMs != b.name.writtenAtMs ? a.name.writtenAtMs < b.name.writtenAtMs
                                                        : a.fileName < b.fileName;
    });
    std::string text;
    uint64_t total = 0;
    std::size_t shown = 0;
    for (const KeptEvidence& dump : dumps) {
        if (!apps.empty() &&
            std::find(apps.begin(), apps.end(), dump.name.application) == apps.end()) {
            continue;
        }
        const std::string taken = dump.note.takenAt.empty() ? "(no note)" : dump.note.takenAt;
        text += Printable(taken) + "  " + Printable(dump.name.application) + "  process " +
                std::to_string(dump.name.processId) + "  " + std::to_string(dump.bytes) +
                " bytes  " + Printable(dump.fileName) + "\n";
        if (!dump.note.cycle.empty()) {
            text += "    " + Printable(dump.note.cycle) + " at " + Printable(dump.note.endpoint) +
                    ", last message at " + Printable(dump.note.lastMessageAt) + ": " +
                    Printable(dump.note.lastMessage.substr(0, 200)) + "\n";
        }
        total += dump.bytes;
        ++shown;
    }
    text += std::to_string(shown) + (shown == 1 ? " dump, " : " dumps, ") + std::to_string(total) +
            " bytes in " + Printable(folder) + "\n";
    return text;
}

int RunEvidence(const EvidenceOptions& options) {
    std::string folder;
    std::string error;
    if (!FindFolder(options, &folder, &error)) {
        TellError(error);
        return kEvidenceUnusable;
    }
    folder = NormaliseFolder(folder, platform::kPathSeparator);
    if (!platform::PathExists(folder)) {
        TellError("the evidence folder " + folder + " does not exist: no dump was taken yet");
        return kEvidenceUnusable;
    }
    std::fputs(EvidenceListing(ReadFolder(folder), options.apps, folder).c_str(), stdout);
    return AfterOutput(0, kEvidenceUnusable);
}

const CommandEntry kEvidenceCommand = {
    "evidence",
    "  evidence [--config PATH | --folder FOLDER] [--app NAME]...\n"
    "          the dumps taken of silent applications before their termination,\n"
    "          with the notes beside them\n",
    EvidenceHelp, EvidenceMain};

}  // namespace zelkctl
