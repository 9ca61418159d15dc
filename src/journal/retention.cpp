#include "journal/retention.h"

#include <algorithm>
#include <functional>

namespace journal {

std::vector<int64_t> DaysToRemove(std::vector<int64_t> fileDays, int64_t clockDay, int days) {
    std::vector<int64_t> remove;
    if (days < 1 || fileDays.size() <= static_cast<std::size_t>(days)) {
        return remove;
    }
    std::sort(fileDays.begin(), fileDays.end(), std::greater<int64_t>());
    fileDays.erase(std::unique(fileDays.begin(), fileDays.end()), fileDays.end());
    const int64_t reference = std::min(clockDay, fileDays.front());
    for (std::size_t i = static_cast<std::size_t>(days); i < fileDays.size(); ++i) {
        if (fileDays[i] <= reference - days) {
            remove.push_back(fileDays[i]);
        }
    }
    return remove;
}

}  // namespace journal
