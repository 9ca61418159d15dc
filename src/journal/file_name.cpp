#include "journal/file_name.h"

#include "journal/civil_date.h"

namespace journal {

namespace {

constexpr std::string_view kPrefix = "zelk-events-";
constexpr std::string_view kSuffix = ".jsonl";
constexpr std::size_t kDateLength = 10;  // YYYY-MM-DD

}  // namespace

std::string FileNameOfDay(int64_t day) {
    std::string name(kPrefix);
    name += DateText(day);
    name += kSuffix;
    return name;
}

bool DayOfFileName(std::string_view name, int64_t* day) {
    if (name.size() != kPrefix.size() + kDateLength + kSuffix.size() ||
        name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(kPrefix.size() + kDateLength) != kSuffix) {
        return false;
    }
    return ParseDate(name.substr(kPrefix.size(), kDateLength), day);
}

}  // namespace journal
