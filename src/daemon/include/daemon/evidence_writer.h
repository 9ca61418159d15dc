// The production EvidenceTaker: a dump of every process of the silent
// application's name into the evidence folder (created when missing), a
// note beside each (evidence_files.h), and the folder kept within its
// bounds before and after each dump.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/process_dump.h"
#include "supervision/config_walk.h"
#include "supervision/dump_retention.h"
#include "supervision/watchdog_seams.h"

// What the writer reaches: the processes, the dump writer, the station's
// clock and the applications' builds. The platform's unless a test
// passes others.
struct EvidenceSystem {
    std::function<bool(std::vector<platform::ProcessEntry>*)> listProcesses;
    // The process, the file, the kind and the most bytes it may take.
    std::function<platform::DumpOutcome(uint32_t, const std::string&, platform::DumpKind, uint64_t)>
        dump;
    // What the disk holding a folder has free; false when unknown.
    std::function<bool(const std::string&, uint64_t*)> availableBytes;
    std::function<int64_t()> wallMs;
    std::function<std::string(const std::string&)> executableVersion;
};
EvidenceSystem PlatformEvidenceSystem();

class EvidenceWriter final : public EvidenceTaker {
  public:
    explicit EvidenceWriter(const EvidenceSettings& settings,
                            EvidenceSystem system = PlatformEvidenceSystem());
    std::vector<EvidenceRecord> TakeEvidence(const AppConfig& app,
                                             const EvidenceRequest& request) override;

  private:
    EvidenceRecord DumpOne(const AppConfig& app, const EvidenceRequest& request,
                           uint32_t processId);
    // Removes what the bounds do not allow with `upcoming` added, whose file
    // `upcomingFile` (if written already) counts as that; false, removing
    // nothing, when `upcoming` would not fit even so.
    bool Retain(const UpcomingDump* upcoming, const std::string& upcomingFile);
    void WriteNote(const AppConfig& app, const EvidenceRequest& request, uint32_t processId,
                   int64_t takenAtMs, const EvidenceRecord& record);

    EvidenceSettings settings_;  // the folder with its separator
    EvidenceSystem system_;
    bool failing_ = false;  // no dump was written since the last that was
    // Each application's last dump's size, the guess of its next one's.
    std::map<std::string, uint64_t> lastBytes_;
};
