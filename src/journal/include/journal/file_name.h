// The journal's daily files: "zelk-events-2026-12-09.jsonl" holds the lines
// of that local day. The daemon names and removes its files by this rule;
// zelkctl finds them by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace journal {

// The name of the file of the local day `day` (days since the epoch).
std::string FileNameOfDay(int64_t day);

// The day a file's name stands for, or false when the name is not one of
// the journal's. A date that does not exist ("02-31") names no day: such a
// file is neither read nor removed as an old one.
bool DayOfFileName(std::string_view name, int64_t* day);

}  // namespace journal
