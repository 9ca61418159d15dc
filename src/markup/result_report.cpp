// The result report's writer: entries are built as text, each value escaped
// for an attribute, so the engine's own document is not needed to report.
#include "markup/result_report.h"

#include <string>

#include "markup/element_index.h"
#include "markup/escaping.h"
#include "markup/tag_reader.h"
#include "platform/ansi.h"

namespace {

// The attribute an option bit selects, the first listed winning.
struct Choice {
    int bit;
    const char* attribute;
};
const Choice kValueAttributes[] = {
    {kReportValueType, "type"}, {kReportValueEncoding, "encoding"}, {kReportValueMsg, "msg"}};
const Choice kNumberAttributes[] = {
    {kReportNumberN, "n"}, {kReportNumberCount, "count"}, {kReportNumberLength, "length"}};

template <size_t n>
const char* Chosen(int options, const Choice (&choices)[n], const char* otherwise) {
    for (const Choice& choice : choices) {
        if (options & choice.bit) {
            return choice.attribute;
        }
    }
    return otherwise;
}

// One entry's start tag, report[start..start + length), whose attributes are set.
struct Entry {
    std::string& report;
    int32_t start;
    int32_t length;

    // Sets attribute `name` to `value` (escaped): an attribute the entry has
    // gets the new value in place, any other is added after the last one, as
    // SetAttribute edits a start tag. An attribute that would make the tag
    // longer than a start tag may be, or the report as long as
    // kReportHardLimit, is left out.
    void Set(const char* name, const std::string& value) {
        const std::string escaped = EscapeValue(value, kEscapeAttribute);
        const char* text = report.c_str();
        AttributeSpan found;
        AttributeEnd end;
        int32_t at;
        int32_t replaced = 0;
        std::string insert;
        if (FindAttribute(text, start, start + length, name, 0, &found, &end)) {
            if (found.valueLength < 0) {
                at = found.nameStart + found.nameLength;
                insert = "=\"" + escaped + "\"";
            } else if (found.quoted && !found.closed) {
                return;  // no closing quote: the stretch to replace is unclear
            } else {
                at = found.StretchStart();
                replaced = found.StretchLength();
                insert = "\"" + escaped + "\"";
            }
        } else {
            at = end.stopPos;
            insert =
                std::string(end.danglingEquals ? "\"\" " : " ") + name + "=\"" + escaped + "\"";
        }
        const int64_t grown =
            static_cast<int64_t>(length) + static_cast<int64_t>(insert.size()) - replaced;
        if (grown > static_cast<int64_t>(kMaxStartTagLength) ||
            report.size() + insert.size() - static_cast<size_t>(replaced) >= kReportHardLimit) {
            return;
        }
        report.replace(static_cast<size_t>(at), static_cast<size_t>(replaced), insert);
        length = static_cast<int32_t>(grown);
    }
};

// The first entry named `name`: where its tag starts and how long it is; -1
// when there is none. Entries are tags that end at the first ">" outside a
// quoted value.
int32_t FindEntry(const std::string& report, const char* name, int32_t* length) {
    const char* const text = report.c_str();
    const int32_t size = static_cast<int32_t>(report.size());
    const uint8_t* charLength = platform::AnsiCharLengths();
    int32_t p = 0;
    while (p < size) {
        if (text[p] != '<') {
            p += charLength[static_cast<uint8_t>(text[p])];
            continue;
        }
        const int32_t start = p;
        char quote = 0;
        for (++p; p < size && (quote != 0 || text[p] != '>');) {
            if (text[p] == '"' || text[p] == '\'') {
                quote = quote == 0 ? text[p] : (quote == text[p] ? 0 : quote);
            }
            p += charLength[static_cast<uint8_t>(text[p])];
        }
        const int32_t end = p < size ? p + 1 : size;
        int32_t wordStart = 0;
        const int32_t wordLength = ReadWord(text, start + 1, end, &wordStart);
        if (wordLength > 0 && MatchName(text, wordStart, wordStart + wordLength - 1, name, 0)) {
            *length = end - start;
            return start;
        }
        p = end;
    }
    return -1;
}

}  // namespace

void AddReportEntry(std::string& report, const char* name, const char* value, int options,
                    int number, int number2) {
    if (report.size() >= kReportLimit) {
        return;
    }
    Entry entry{report, 0, 0};
    if (options & kReportUpdate) {
        entry.start = FindEntry(report, name, &entry.length);
        if (entry.start < 0) {
            return;
        }
    } else {
        entry.start = static_cast<int32_t>(report.size());
        report += '<';
        report += name;
        report += "/>";
        entry.length = static_cast<int32_t>(report.size()) - entry.start;
    }
    if (value != nullptr) {
        entry.Set(Chosen(options, kValueAttributes, "tagname"), value);
    }
    // Without a choice the number is the "offset", written unless it is -1.
    if (const char* attribute =
            Chosen(options, kNumberAttributes, number != -1 ? "offset" : nullptr)) {
        entry.Set(attribute, std::to_string(number));
    }
    if (number2 != -1) {
        entry.Set("offset2", std::to_string(number2));
    }
}
