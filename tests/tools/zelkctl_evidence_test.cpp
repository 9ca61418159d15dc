// zelkctl evidence: the listing of kept dumps from their names and notes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zelkctl/evidence_command.h"

namespace {

using zelkctl::KeptEvidence;

KeptEvidence Kept(const std::string& application, int64_t atMs, uint32_t process, uint64_t bytes) {
    KeptEvidence kept;
    kept.name = {application, atMs, process};
    kept.fileName = EvidenceDumpName(kept.name);
    kept.bytes = bytes;
    return kept;
}

TEST(EvidenceCommand, ListsOldestFirstWithTheNotesAndChoosesByApplication) {
    KeptEvidence noted = Kept("rec.exe", 2000, 7, 4096);
    noted.note.takenAt = "2026-12-09T04:14:15.123+01:00";
    noted.note.cycle = "silent 30";
    noted.note.endpoint = "127.0.0.1:7001";
    noted.note.lastMessageAt = "2026-12-09T04:12:45.000+01:00";
    // A note edited by hand may hold what a terminal obeys.
    noted.note.lastMessage = "<handshake>\x1b[2J</handshake>";
    const std::vector<KeptEvidence> dumps = {noted, Kept("sim", 1000, 9, 10)};

    EXPECT_EQ(zelkctl::EvidenceListing(dumps, {}, "/e/"),
              "(no note)  sim  process 9  10 bytes  sim_19700101T000001000Z_9.dmp\n"
              "2026-12-09T04:14:15.123+01:00  rec.exe  process 7  4096 bytes  "
              "rec.exe_19700101T000002000Z_7.dmp\n"
              "    silent 30 at 127.0.0.1:7001, last message at 2026-12-09T04:12:45.000+01:00: "
              "<handshake>?[2J</handshake>\n"
              "2 dumps, 4106 bytes in /e/\n");
    EXPECT_EQ(zelkctl::EvidenceListing(dumps, {"sim"}, "/e/"),
              "(no note)  sim  process 9  10 bytes  sim_19700101T000001000Z_9.dmp\n"
              "1 dump, 10 bytes in /e/\n");
}

}  // namespace
