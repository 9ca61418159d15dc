// The generated encoding table: its layout, its agreement with the data file
// it is generated from, and the name lookup over it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "markup/encoding_table.h"
#include "markup/encodings.h"

namespace {

struct TableEntry {
    int bucket;
    int codePage;
    std::string name;
};

// Splits every bucket into its entries, failing the test on a malformed one.
std::vector<TableEntry> ReadTable() {
    std::vector<TableEntry> entries;
    for (int bucket = 0; bucket < kEncodingBucketCount; ++bucket) {
        const char* p = kEncodingBuckets[bucket];
        while (*p != '\0') {
            for (int i = 0; i < 7; ++i) {
                EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(p[i])))
                    << "bucket " << bucket << ": " << p;
            }
            const int length = (p[0] - '0') * 10 + (p[1] - '0');
            const int codePage = std::atoi(std::string(p + 2, 5).c_str());
            EXPECT_LE(static_cast<size_t>(7 + length), std::strlen(p));
            entries.push_back({bucket, codePage, std::string(p + 7, length)});
            p += 7 + length;
        }
    }
    return entries;
}

// data/encodings.tsv, found from this source file's path (empty when it
// cannot be read, for a test binary moved away from its sources).
std::vector<std::pair<int, std::string>> ReadDataFile() {
    std::string path = __FILE__;
    const size_t cut = path.rfind("tests");
    std::vector<std::pair<int, std::string>> rows;
    if (cut == std::string::npos) {
        return rows;
    }
    std::ifstream in(path.substr(0, cut) + "data/encodings.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t tab = line.find('\t');
        std::string name = line.substr(tab + 1);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
            name = name.substr(1, name.size() - 2);
        }
        rows.emplace_back(std::atoi(line.substr(0, tab).c_str()), name);
    }
    return rows;
}

TEST(EncodingTable, HasTheNamesInTheirBuckets) {
    const std::vector<TableEntry> entries = ReadTable();
    EXPECT_EQ(entries.size(), 365u);
    int emptyBuckets = 0;
    for (int bucket = 0; bucket < kEncodingBucketCount; ++bucket) {
        emptyBuckets += kEncodingBuckets[bucket][0] == '\0' ? 1 : 0;
    }
    EXPECT_EQ(emptyBuckets, 17);
    std::set<std::string> names;
    for (const TableEntry& entry : entries) {
        EXPECT_TRUE(names.insert(entry.name).second) << "twice: " << entry.name;
        EXPECT_EQ(entry.bucket, EncodingBucketOf(entry.name.data(), int(entry.name.size())))
            << entry.name;
        for (char c : entry.name) {
            EXPECT_FALSE(c >= 'A' && c <= 'Z') << entry.name;
        }
    }
}

TEST(EncodingTable, AgreesWithItsDataFile) {
    const auto rows = ReadDataFile();
    if (rows.empty()) {
        GTEST_SKIP() << "data/encodings.tsv not found beside the sources";
    }
    EXPECT_EQ(rows.size(), 365u);
    for (const auto& [codePage, name] : rows) {
        EXPECT_EQ(LookupCodePage(name.c_str()), codePage) << name;
        // Upper case finds the same entry, except where it makes the
        // case-sensitive "UTF-32" prefix.
        std::string upper = name;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (upper.compare(0, 6, "UTF-32") != 0) {
            EXPECT_EQ(LookupCodePage(upper.c_str()), codePage) << upper;
        }
    }
}

TEST(LookupCodePage, FindsNamesAndAppliesItsRules) {
    const std::string hundred(100, 'a');
    const std::string ninetyNine(99, 'a');
    const std::string longUtf32 = "UTF-32" + std::string(200, 'x');
    const struct {
        const char* name;
        int codePage;
    } cases[] = {
        {"UTF-8", 65001},
        {"utf-8", 65001},
        {"UTF8", 65001},
        {"cp65001", 65001},
        {"utf-16", 1200},
        {"ucs-2", 1200},
        {"UTF-16BE", 1201},
        {"UTF-32", 65005},
        {"UTF-32LE", 65005},
        {"UTF-32BE", 65005},
        {"utf-32", 12000},
        {"Utf-32", 12000},
        {"utf-32be", 12001},
        {"", 0},
        {nullptr, 0},
        {"nonesuch", -1},
        {"utf-8 ", -1},
        {"cp1256 ", 1256},
        {"CP1256", 1256},
        {"Windows-1252", 1252},
        {"GB2312", 936},
        {"ksc_5601", 949},
        {"_iso-2022-jp$sio", 50222},
        {"iso_646.irv:1991", 20127},
        {hundred.c_str(), -1},
        {ninetyNine.c_str(), -1},
        {longUtf32.c_str(), 65005},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LookupCodePage(c.name), c.codePage) << (c.name ? c.name : "(null)");
    }
}

}  // namespace
