// zelkctl evidence: the dumps of silent applications the daemon keeps in
// its evidence folder, each with what the note beside it says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "supervision/evidence_files.h"
#include "zelkctl/command_line.h"

namespace zelkctl {

// The evidence folder cannot be found or read.
constexpr int kEvidenceUnusable = 2;

struct EvidenceOptions {
    bool help = false;
    std::string configPath;  // --config
    std::string folder;      // --folder
    std::vector<std::string> apps;
};

// Reads the arguments of `evidence` (arguments[0] is its name). False with
// `*error` for a bad command line.
bool ParseEvidenceOptions(const std::vector<std::string>& arguments, EvidenceOptions* options,
                          std::string* error);

std::string EvidenceHelp();

// One kept dump: its file name, its size, and its note (empty when it has
// none or it cannot be read).
struct KeptEvidence {
    std::string fileName;
    EvidenceName name;
    uint64_t bytes = 0;
    EvidenceNote note;
};

// The listing: a table of the dumps of `apps` (all when empty), oldest
// first, each followed by its last message, then a line with their number
// and size in `folder`.
std::string EvidenceListing(std::vector<KeptEvidence> dumps, const std::vector<std::string>& apps,
                            const std::string& folder);

// Carries out `evidence`: 0 done (also when no dump is kept),
// kEvidenceUnusable, or kUsageError.
int RunEvidence(const EvidenceOptions& options);

extern const CommandEntry kEvidenceCommand;

}  // namespace zelkctl
