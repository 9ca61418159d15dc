#include "supervision/dump_retention.h"

#include <algorithm>
#include <map>

DumpRetentionPlan PlanDumpRetention(const std::vector<KeptDump>& kept, const UpcomingDump* upcoming,
                                    const DumpRetentionSettings& settings) {
    DumpRetentionPlan plan;
    plan.writeUpcoming =
        upcoming != nullptr && settings.keep > 0 && upcoming->bytes <= settings.budgetBytes;

    std::vector<const KeptDump*> oldestFirst;
    for (const KeptDump& dump : kept) {
        oldestFirst.push_back(&dump);
    }
    std::sort(oldestFirst.begin(), oldestFirst.end(), [](const KeptDump* a, const KeptDump* b) {
        return a->writtenAtMs != b->writtenAtMs ? a->writtenAtMs < b->writtenAtMs
                                                : a->fileName < b->fileName;
    });

    // Newest first, each application's dumps beyond its share go.
    std::map<std::string, uint32_t> count;
    if (plan.writeUpcoming) {
        count[upcoming->application] = 1;
    }
    std::vector<bool> removed(oldestFirst.size(), false);
    for (std::size_t i = oldestFirst.size(); i-- > 0;) {
        if (++count[oldestFirst[i]->application] > settings.keep) {
            removed[i] = true;
        }
    }

    uint64_t total = plan.writeUpcoming ? upcoming->bytes : 0;
    for (std::size_t i = 0; i < oldestFirst.size(); ++i) {
        if (!removed[i]) {
            total += oldestFirst[i]->bytes;
        }
    }
    for (std::size_t i = 0; i < oldestFirst.size() && total > settings.budgetBytes; ++i) {
        if (!removed[i]) {
            removed[i] = true;
            total -= oldestFirst[i]->bytes;
        }
    }

    for (std::size_t i = 0; i < oldestFirst.size(); ++i) {
        if (removed[i]) {
            plan.remove.push_back(oldestFirst[i]->fileName);
        }
    }
    return plan;
}

uint64_t DumpByteBound(uint64_t budgetBytes, const uint64_t* availableBytes) {
    if (availableBytes == nullptr) {
        return budgetBytes;
    }
    const uint64_t room =
        *availableBytes > kDumpDiskReserveBytes ? *availableBytes - kDumpDiskReserveBytes : 0;
    return std::min(budgetBytes, room);
}
