// The result report: a short XML text of empty elements, one per problem or
// step that a load or a parse met, with no separators between them.
#pragma once

#include <string>

// AddReportEntry options: which attribute carries the value...
constexpr int kReportValueType = 0x02;      // "type"
constexpr int kReportValueEncoding = 0x08;  // "encoding" (when 0x02 is clear)
constexpr int kReportValueMsg = 0x40;       // "msg" (when 0x02 and 0x08 are clear)
//                                             otherwise "tagname"
// ...which carries the first number...
constexpr int kReportNumberN = 0x04;       // "n"
constexpr int kReportNumberCount = 0x01;   // "count" (when 0x04 is clear)
constexpr int kReportNumberLength = 0x10;  // "length" (when 0x04 and 0x01 are clear)
//                                            otherwise "offset", left out when -1
// ...and whether an existing entry is updated.
constexpr int kReportUpdate = 0x20;  // change the first entry of that name instead of appending

// A report of this many characters or more takes no further entries.
constexpr size_t kReportLimit = 1000;
// No report reaches this length: an attribute that would take it there (a
// long element name, escaped) is left out of its entry.
constexpr size_t kReportHardLimit = 2 * kReportLimit;

// Appends the entry <name .../> to `report`, or with kReportUpdate sets the
// attributes of the first entry of that name (nothing when there is none).
// `value` null writes no value attribute; `number2` is written as "offset2"
// unless it is -1.
void AddReportEntry(std::string& report, const char* name, const char* value, int options,
                    int number = -1, int number2 = -1);
