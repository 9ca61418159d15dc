// A time zone with both clock changes of a year, for the tools' tests.
#pragma once

#include <cstdint>

#include "zelkctl/journal_time.h"

namespace zelkctl {

// Central European time: UTC+1, and UTC+2 from the last Sunday of March to
// the last Sunday of October (2026: March 29 and October 25, at 01:00 UTC).
class CentralEurope : public LocalZone {
  public:
    int OffsetMinutesAt(int64_t utcSeconds) const override {
        constexpr int64_t kSummerFrom = 1774746000;   // 2026-03-29T01:00:00Z
        constexpr int64_t kSummerUntil = 1792890000;  // 2026-10-25T01:00:00Z
        return utcSeconds >= kSummerFrom && utcSeconds < kSummerUntil ? 120 : 60;
    }
};

}  // namespace zelkctl
