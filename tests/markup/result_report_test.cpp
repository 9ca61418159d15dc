#include "markup/result_report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EntryCase {
    const char* name;
    const char* value;
    int options;
    int number;
    int number2;
    const char* expected;
};

class ReportEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(ReportEntry, WritesTheChosenAttributes) {
    const EntryCase& c = GetParam();
    std::string report;
    AddReportEntry(report, c.name, c.value, c.options, c.number, c.number2);
    EXPECT_EQ(report, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ReportEntry,
    ::testing::Values(
        EntryCase{"bom", nullptr, 0, -1, -1, "<bom/>"},
        EntryCase{"a", "x", 0, 3, -1, "<a tagname=\"x\" offset=\"3\"/>"},
        EntryCase{"a", "", 0, -1, -1, "<a tagname=\"\"/>"},
        EntryCase{"u", "b", 0, 3, 7, "<u tagname=\"b\" offset=\"3\" offset2=\"7\"/>"},
        EntryCase{"t", "start_tag", 0x02, 0, -1, "<t type=\"start_tag\" offset=\"0\"/>"},
        EntryCase{"read", "UTF-8", 0x18, 12, -1, "<read encoding=\"UTF-8\" length=\"12\"/>"},
        EntryCase{"read", "", 0x18, 0, -1, "<read encoding=\"\" length=\"0\"/>"},
        EntryCase{"file_error", "File not found.", 0x44, 2, -1,
                  "<file_error msg=\"File not found.\" n=\"2\"/>"},
        EntryCase{"nulls_removed", nullptr, 0x01, 4, -1, "<nulls_removed count=\"4\"/>"},
        EntryCase{"n", nullptr, 0x04, -5, -1, "<n n=\"-5\"/>"},
        EntryCase{"m", "a<b&\"c'>", 0x40, -1, -1, "<m msg=\"a&lt;b&amp;&quot;c&apos;&gt;\"/>"},
        EntryCase{"type_wins", "v", 0x02 | 0x08 | 0x40, -1, -1, "<type_wins type=\"v\"/>"},
        EntryCase{"n_wins", nullptr, 0x04 | 0x01 | 0x10, 1, -1, "<n_wins n=\"1\"/>"}));

TEST(ReportEntries, FollowEachOtherWithoutSeparators) {
    std::string report;
    AddReportEntry(report, "bom", nullptr, 0);
    AddReportEntry(report, "read", "UTF-8", 0x18, 5);
    AddReportEntry(report, "converted_to", "", 0x18, 5);
    EXPECT_EQ(report,
              "<bom/><read encoding=\"UTF-8\" length=\"5\"/>"
              "<converted_to encoding=\"\" length=\"5\"/>");
}

TEST(ReportEntries, UpdateChangesTheFirstEntryOfThatName) {
    std::string report;
    AddReportEntry(report, "read", "", 0x18, 5);
    AddReportEntry(report, "read", "", 0x18, 6);
    AddReportEntry(report, "read", "UTF-8", 0x28);
    EXPECT_EQ(report, "<read encoding=\"UTF-8\" length=\"5\"/><read encoding=\"\" length=\"6\"/>");
    // No entry of that name: nothing changes.
    AddReportEntry(report, "missing", "x", 0x28);
    EXPECT_EQ(report, "<read encoding=\"UTF-8\" length=\"5\"/><read encoding=\"\" length=\"6\"/>");
}

TEST(ReportEntries, UpdateAddsAnAttributeTheEntryLacks) {
    std::string report = "<bom/>";
    AddReportEntry(report, "bom", "x\"y", 0x38, 7);
    EXPECT_EQ(report, "<bom encoding=\"x&quot;y\" length=\"7\"/>");
}

TEST(ReportEntries, AValueTooLongForATagIsLeftOut) {
    // An entry's tag must stay short enough to be read back as a start tag.
    std::string report;
    AddReportEntry(report, "unended_start_tag", std::string(900000, '&').c_str(), 0, 3, 9);
    ASSERT_LT(report.size(), 100u);
    EXPECT_EQ(report, "<unended_start_tag offset=\"3\" offset2=\"9\"/>");
}

TEST(ReportEntries, NeverReachTwiceTheLimit) {
    // The report stays short whatever an entry's value holds: a name that
    // would take it to twice its limit is left out, the offsets are kept.
    std::string report(kReportLimit - 1, ' ');
    AddReportEntry(report, "lone_end_tag", std::string(200, '\'').c_str(), 0, 5);
    EXPECT_EQ(report.substr(kReportLimit - 1), "<lone_end_tag offset=\"5\"/>");
    // Up to that length, values are written whole.
    report.assign(kReportLimit - 1, ' ');
    AddReportEntry(report, "lone_end_tag", std::string(150, '\'').c_str(), 0, 5);
    std::string apostrophes;
    for (int i = 0; i < 150; ++i) {
        apostrophes += "&apos;";
    }
    EXPECT_EQ(report.substr(kReportLimit - 1),
              "<lone_end_tag tagname=\"" + apostrophes + "\" offset=\"5\"/>");
}

TEST(ReportEntries, StopAtTheLimit) {
    std::string report;
    int added = 0;
    for (int i = 0; i < 200; ++i) {
        const size_t before = report.size();
        AddReportEntry(report, "entry", "value", 0, i);
        if (report.size() != before) {
            ++added;
        }
    }
    EXPECT_GE(report.size(), kReportLimit);
    EXPECT_LT(report.size(), kReportLimit + 40);
    EXPECT_LT(added, 200);
    const std::string full = report;
    AddReportEntry(report, "more", nullptr, 0);
    EXPECT_EQ(report, full);
}

}  // namespace
