// zelkctl history and zelkctl timeline with their effects: finding and
// reading the journal's files, the clock and time zone, the host name,
// printing and writing the picture.
#pragma once

#include "zelkctl/options.h"

namespace zelkctl {

// The exit code when the journal cannot be found or read, or the picture
// cannot be written.
constexpr int kJournalUnusable = 2;

// Each returns the exit code: 0 done, kJournalUnusable, or kUsageError.
int RunHistory(const Options& options);
int RunTimeline(const Options& options);

}  // namespace zelkctl
