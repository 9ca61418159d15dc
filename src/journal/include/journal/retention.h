// Which daily files a journal that keeps `days` days removes. The clock
// alone never decides: a station's clock set a year ahead for a moment must
// not cost a single day's file.
#pragma once

#include <cstdint>
#include <vector>

namespace journal {

// The days (as FileNameOfDay names them) of the files to remove, of the
// files `fileDays` that exist, told the day of the station's clock. Days
// are counted back from the newest file that exists when the clock's day is
// later than it (the clock may have jumped ahead), else from the clock's
// day (a clock set back keeps everything newer); a file is removed when it
// is `days` or more days older than that; and none of the newest `days`
// files ever goes, whatever the days say.
std::vector<int64_t> DaysToRemove(std::vector<int64_t> fileDays, int64_t clockDay, int days);

}  // namespace journal
