// Which of the kept dumps of hung applications to remove before the next one
// is written: at most `keep` dumps per application and at most `budgetBytes`
// in all, the oldest going first. No file is touched here; the caller lists
// the evidence folder and removes what it is told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One dump in the evidence folder.
struct KeptDump {
    std::string application;  // the application it was taken of, compared exactly
    std::string fileName;
    uint64_t bytes = 0;
    int64_t writtenAtMs = 0;  // when it was written (any clock, the same for all)
};

// The dump about to be written: its application and the bytes it is expected
// to take (the caller's estimate, e.g. the size of that application's last dump).
struct UpcomingDump {
    std::string application;
    uint64_t bytes = 0;
};

struct DumpRetentionSettings {
    uint32_t keep = 0;         // dumps per application, the upcoming one included
    uint64_t budgetBytes = 0;  // all dumps together, the upcoming one included
};

struct DumpRetentionPlan {
    // False when the upcoming dump cannot be kept within the settings even
    // after every removal (keep is 0, or it alone is larger than the whole
    // budget): the caller writes none, and no older dump is given up for it.
    bool writeUpcoming = false;
    std::vector<std::string> remove;  // file names, oldest first
};

// What a dump leaves free at least on the disk that holds the evidence folder:
// the log and the journal are written there too.
constexpr uint64_t kDumpDiskReserveBytes = 64ull * 1024 * 1024;

// The most one dump may grow to while it is written: the folder's whole
// budget, and no more than leaves kDumpDiskReserveBytes of the disk's
// `availableBytes` free (null: unknown, the budget alone). 0: no room at all.
uint64_t DumpByteBound(uint64_t budgetBytes, const uint64_t* availableBytes);

// The removals that bring `kept` plus `upcoming` (none when null) within
// `settings`: first each application's oldest beyond `keep`, then the oldest
// of all until the bytes fit the budget. Dumps written at the same time go
// in the order of their file names.
DumpRetentionPlan PlanDumpRetention(const std::vector<KeptDump>& kept, const UpcomingDump* upcoming,
                                    const DumpRetentionSettings& settings);
