// The evidence folder's file names and notes: what the daemon writes,
// zelkctl and the retention must read back exactly.
#include "supervision/evidence_files.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kAt = 1796786055123;  // 2026-12-09T03:14:15.123Z

TEST(EvidenceFiles, DumpNamesReadBackAndCannotLeaveTheFolder) {
    EXPECT_EQ(EvidenceDumpName({"recorder.exe", kAt, 4242}),
              "recorder.exe_20261209T031415123Z_4242.dmp");
    EXPECT_EQ(EvidenceNoteName("recorder.exe_20261209T031415123Z_4242.dmp"),
              "recorder.exe_20261209T031415123Z_4242.txt");
    for (const std::string application : {"recorder.exe", "../..\\up", "a_b_20261209T031415123Z_1",
                                          "100%", "C:con", "t\xC3\xA4st \n", "-"}) {
        const std::string file = EvidenceDumpName({application, kAt, 7});
        EXPECT_EQ(file.find_first_of("/\\:\n "), std::string::npos) << file;
        EvidenceName read;
        ASSERT_TRUE(ParseEvidenceDumpName(file, &read)) << file;
        EXPECT_EQ(read.application, application);
        EXPECT_EQ(read.writtenAtMs, kAt);
        EXPECT_EQ(read.processId, 7u);
    }
    EvidenceName read;
    for (const char* other :
         {"recorder.exe_20261209T031415123Z_4242.txt", "_20261209T031415123Z_1.dmp",
          "a_20261209T031415123_1.dmp", "a_20261309T031415123Z_1.dmp", "a_20261209T031415123Z_.dmp",
          "a_20261209T031415123Z_99999999999.dmp", "a%2_20261209T031415123Z_1.dmp",
          "a b_20261209T031415123Z_1.dmp", "20261209T031415123Z_1.dmp", ".dmp"}) {
        EXPECT_FALSE(ParseEvidenceDumpName(other, &read)) << other;
    }
}

TEST(EvidenceFiles, ANoteIsOneLineAKeyAndReadsBack) {
    EvidenceNote note;
    note.application = "recorder.exe";
    note.endpoint = "127.0.0.1:7001";
    note.cycle = "silent 30";
    note.lastMessage = "<handshake>\r\nforged: line\x01</handshake>";
    note.bytes = "123";
    const std::string text = EvidenceNoteText(note);
    EXPECT_NE(text.find("\nlast message: <handshake>\\x0D\\x0Aforged: line\\x01</handshake>\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("forged: line\n"), std::string::npos);

    EvidenceNote read;
    ASSERT_TRUE(ParseEvidenceNote("future key: x\r\n" + text, &read));
    EXPECT_EQ(read.application, "recorder.exe");
    EXPECT_EQ(read.endpoint, "127.0.0.1:7001");
    EXPECT_EQ(read.cycle, "silent 30");
    EXPECT_EQ(read.lastMessage, "<handshake>\\x0D\\x0Aforged: line\\x01</handshake>");
    EXPECT_EQ(read.lastMessageAt, "");
    EXPECT_EQ(read.bytes, "123");
    EXPECT_FALSE(ParseEvidenceNote("not a note\n", &read));
}

}  // namespace
