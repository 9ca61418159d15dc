// The daemon's dumper with the system's processes, dump writer and clock
// stubbed: which processes it dumps, where, the note beside each dump, the
// folder kept within its bounds, and the warning once per streak of dumps
// that could not be made.
#include "daemon/evidence_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "platform/files.h"
#include "supervision/evidence_files.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadWholeFile;
using testing_support::TempFolder;

constexpr int64_t kNow = 1796786055123;  // 2026-12-09T03:14:15.123Z

struct EvidenceWriterTest : ::testing::Test {
    TempFolder temp;
    AppConfig app;
    EvidenceSettings settings;
    EvidenceRequest request;
    // What the stub dump writer does, and the dumps it was asked for.
    platform::DumpResult result = platform::DumpResult::kWritten;
    std::string dumpBytes = "core";
    std::vector<uint32_t> dumped;
    std::vector<uint64_t> bounds;  // the most bytes each dump was allowed
    uint64_t available = 1ull << 40;
    int64_t now = kNow;

    void SetUp() override {
        app.name = "rec.exe";
        app.path = "\"/opt/rec/rec.exe\" --station 12";
        app.ip = "127.0.0.1";
        app.port = 7001;
        settings.folder = (temp.path() / "evidence").string();
        request.cycle = Cycle::kSilent;
        request.count = 30;
        request.lastMessageAgeMs = 90000;
        request.lastMessage = "<handshake>alive</handshake>\n";
    }
    EvidenceSystem System() {
        EvidenceSystem system;
        system.listProcesses = [](std::vector<platform::ProcessEntry>* out) {
            *out = {{5, "other.exe"}, {7, "rec.exe"}, {8, "rec.exe"}, {9, "REC.EXE"}};
            return true;
        };
        system.dump = [this](uint32_t id, const std::string& path, platform::DumpKind,
                             uint64_t maxBytes) {
            dumped.push_back(id);
            bounds.push_back(maxBytes);
            platform::DumpOutcome outcome;
            outcome.result = result;
            outcome.milliseconds = 12;
            int32_t error = 0;
            if (result == platform::DumpResult::kWritten) {
                platform::WriteNewFile(path, dumpBytes, &error);
                outcome.bytes = dumpBytes.size();
            }
            return outcome;
        };
        system.availableBytes = [this](const std::string&, uint64_t* bytes) {
            *bytes = available;
            return true;
        };
        system.wallMs = [this] { return now++; };
        system.executableVersion = [](const std::string& path) { return "build of " + path; };
        return system;
    }
    fs::path Folder() const { return temp.path() / "evidence"; }
    // A dump of `application` written `ago` ms before kNow, with its note.
    std::string Plant(const std::string& application, int64_t ago, std::size_t bytes = 4) {
        const std::string name = EvidenceDumpName({application, kNow - ago, 1});
        fs::create_directories(Folder());
        std::ofstream(Folder() / name, std::ios::binary) << std::string(bytes, 'x');
        std::ofstream(Folder() / EvidenceNoteName(name)) << "application: " << application << "\n";
        return name;
    }
};

TEST_F(EvidenceWriterTest, DumpsEveryProcessOfTheNameWithANoteBesideEach) {
    EvidenceWriter writer(settings, System());
    const std::vector<EvidenceRecord> records = writer.TakeEvidence(app, request);
    EXPECT_EQ(dumped, (std::vector<uint32_t>{7, 8}));
    ASSERT_EQ(records.size(), 2u);
    const std::string first = EvidenceDumpName({"rec.exe", kNow, 7});
    EXPECT_EQ(records[0].path, (Folder() / first).string());
    EXPECT_EQ(records[0].result, EvidenceResult::kWritten);
    EXPECT_EQ(records[0].bytes, 4u);
    EXPECT_EQ(records[0].milliseconds, 12u);
    EXPECT_FALSE(records[0].streakStart);
    EXPECT_EQ(records[1].path, (Folder() / EvidenceDumpName({"rec.exe", kNow + 1, 8})).string());

    EvidenceNote note;
    ASSERT_TRUE(ParseEvidenceNote(ReadWholeFile(Folder() / EvidenceNoteName(first)), &note));
    EXPECT_EQ(note.endpoint, "127.0.0.1:7001");
    EXPECT_EQ(note.cycle, "silent 30");
    EXPECT_EQ(note.lastMessage, "<handshake>alive</handshake>\\x0A");
    EXPECT_NE(note.takenAt, note.lastMessageAt);
    EXPECT_EQ(note.executableVersion, "build of /opt/rec/rec.exe");
    EXPECT_EQ(note.dump, first);
}

// At most `keep` per application and `megabytes` in all, oldest first, with
// their notes; another application's dumps count only towards the bytes.
TEST_F(EvidenceWriterTest, KeepsTheFolderWithinItsBounds) {
    settings.keep = 2;
    const std::string oldest = Plant("rec.exe", 3000);
    const std::string older = Plant("rec.exe", 2000);
    const std::string other = Plant("other.exe", 5000);
    EvidenceWriter writer(settings, System());
    writer.TakeEvidence(app, request);
    EXPECT_FALSE(fs::exists(Folder() / oldest));
    EXPECT_FALSE(fs::exists(Folder() / EvidenceNoteName(oldest)));
    EXPECT_FALSE(fs::exists(Folder() / older));
    EXPECT_TRUE(fs::exists(Folder() / other));
    EXPECT_TRUE(fs::exists(Folder() / EvidenceDumpName({"rec.exe", kNow, 7})));

    // One megabyte in all: a dump larger than that is not kept, and gives
    // up no older one; the next is not even begun.
    settings.megabytes = 1;
    dumpBytes = std::string(1024 * 1024 + 1, 'x');
    EvidenceWriter bounded(settings, System());
    bounds.clear();
    std::vector<EvidenceRecord> records = bounded.TakeEvidence(app, request);
    EXPECT_EQ(bounds, std::vector<uint64_t>{1024u * 1024})
        << "the budget: the disk is all but empty";
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].result, EvidenceResult::kNotKept);  // its size was not known before
    EXPECT_TRUE(records[0].streakStart);
    EXPECT_FALSE(fs::exists(records[0].path));
    EXPECT_EQ(records[1].result, EvidenceResult::kNotKept);
    EXPECT_EQ(records[1].path, "");
    EXPECT_EQ(dumped.size(), 3u);
    EXPECT_TRUE(fs::exists(Folder() / other));
    EXPECT_TRUE(fs::exists(Folder() / EvidenceDumpName({"rec.exe", kNow + 1, 8})));

    // While written, a dump may take the budget or what leaves the disk its
    // reserve, whichever is less; a disk without that much is not dumped to.
    dumpBytes = "core";
    EvidenceWriter onDisk(settings, System());
    available = kDumpDiskReserveBytes + 1000;
    onDisk.TakeEvidence(app, request);
    EXPECT_EQ(bounds.back(), 1000u);
    available = kDumpDiskReserveBytes;
    dumped.clear();
    records = onDisk.TakeEvidence(app, request);
    EXPECT_TRUE(dumped.empty());
    EXPECT_EQ(records[0].result, EvidenceResult::kNotKept);
}

TEST_F(EvidenceWriterTest, WarnsOncePerStreakOfDumpsNotMade) {
    EvidenceWriter writer(settings, System());
    const auto results = [&] {
        std::vector<std::string> seen;
        for (const EvidenceRecord& record : writer.TakeEvidence(app, request)) {
            seen.push_back(std::to_string(static_cast<int>(record.result)) +
                           (record.streakStart ? " warn" : ""));
        }
        return seen;
    };
    result = platform::DumpResult::kTimedOut;
    EXPECT_EQ(results(), (std::vector<std::string>{"1 warn", "1"}));
    result = platform::DumpResult::kNotAvailable;
    EXPECT_EQ(results(), (std::vector<std::string>{"3", "3"}));
    result = platform::DumpResult::kWritten;
    EXPECT_EQ(results(), (std::vector<std::string>{"0", "0"}));
    result = platform::DumpResult::kFailed;
    EXPECT_EQ(results(), (std::vector<std::string>{"2 warn", "2"}));
    result = platform::DumpResult::kTooLarge;
    EXPECT_EQ(results(), (std::vector<std::string>{"4", "4"}));
}

}  // namespace
