#include "daemon/evidence_writer.h"

#include <algorithm>

#include "daemon/journal_writer.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/system.h"
#include "supervision/config_check.h"
#include "supervision/evidence_files.h"
#include "zelk/version.h"

namespace {

constexpr uint64_t kBytesPerMegabyte = 1024 * 1024;

std::string RfcTime(int64_t ms) {
    return journal::FormatRfc3339(LocalJournalTime(ms));
}

}  // namespace

EvidenceSystem PlatformEvidenceSystem() {
    EvidenceSystem system;
    system.listProcesses = platform::ListProcesses;
    system.dump = [](uint32_t id, const std::string& path, platform::DumpKind kind,
                     uint64_t maxBytes) {
        return platform::WriteProcessDump(id, path, kind, platform::kDumpTimeLimitMs, maxBytes);
    };
    system.availableBytes = platform::AvailableBytes;
    system.wallMs = platform::CurrentTimeMs;
    system.executableVersion = platform::ExecutableVersion;
    return system;
}

EvidenceWriter::EvidenceWriter(const EvidenceSettings& settings, EvidenceSystem system)
    : settings_(settings), system_(std::move(system)) {
    settings_.folder = NormaliseFolder(settings_.folder, platform::kPathSeparator);
}

std::vector<EvidenceRecord> EvidenceWriter::TakeEvidence(const AppConfig& app,
                                                         const EvidenceRequest& request) {
    std::vector<EvidenceRecord> records;
    std::vector<platform::ProcessEntry> processes;
    if (app.name.empty() || !system_.listProcesses(&processes)) {
        return records;
    }
    platform::MakeFolder(settings_.folder);  // fails harmlessly when it exists
    for (const platform::ProcessEntry& process : processes) {
        // The processes the termination that follows matches: byte for byte.
        if (process.exeName == app.name) {
            records.push_back(DumpOne(app, request, process.id));
        }
    }
    return records;
}

EvidenceRecord EvidenceWriter::DumpOne(const AppConfig& app, const EvidenceRequest& request,
                                       uint32_t processId) {
    EvidenceRecord record;
    const int64_t takenAtMs = system_.wallMs();
    // The last dump of the application is the best guess of this one's size.
    UpcomingDump upcoming{app.name, lastBytes_[app.name]};
    // While it is written, a dump may take the whole budget but never the
    // disk's last free bytes.
    const bool fits = Retain(&upcoming, std::string());
    uint64_t available = 0;
    const bool known = system_.availableBytes(settings_.folder, &available);
    const uint64_t bound =
        DumpByteBound(settings_.megabytes * kBytesPerMegabyte, known ? &available : nullptr);
    if (!fits || bound == 0) {
        record.result = EvidenceResult::kNotKept;
    } else {
        const std::string name = EvidenceDumpName({app.name, takenAtMs, processId});
        record.path = settings_.folder + name;
        const platform::DumpOutcome outcome =
            system_.dump(processId, record.path,
                         settings_.type == EvidenceType::kFull ? platform::DumpKind::kFull
                                                               : platform::DumpKind::kMini,
                         bound);
        record.bytes = outcome.bytes;
        record.milliseconds = outcome.milliseconds;
        record.error = outcome.error;
        switch (outcome.result) {
            case platform::DumpResult::kWritten:
                record.result = EvidenceResult::kWritten;
                lastBytes_[app.name] = outcome.bytes;
                upcoming.bytes = outcome.bytes;
                // Larger than guessed: the folder is brought within its
                // bounds again, and a dump that alone exceeds them is not
                // kept at the cost of the others.
                if (Retain(&upcoming, name)) {
                    WriteNote(app, request, processId, takenAtMs, record);
                } else {
                    platform::RemoveFile(record.path);
                    record.result = EvidenceResult::kNotKept;
                }
                break;
            case platform::DumpResult::kTimedOut:
                record.result = EvidenceResult::kTimedOut;
                break;
            case platform::DumpResult::kFailed:
                record.result = EvidenceResult::kFailed;
                break;
            case platform::DumpResult::kTooLarge:
                record.result = EvidenceResult::kNotKept;
                break;
            case platform::DumpResult::kNotAvailable:
                record.result = EvidenceResult::kNotAvailable;
                record.path.clear();
                break;
        }
    }
    const bool written = record.result == EvidenceResult::kWritten;
    record.streakStart = !written && !failing_;
    failing_ = !written;
    return record;
}

bool EvidenceWriter::Retain(const UpcomingDump* upcoming, const std::string& upcomingFile) {
    std::vector<KeptDump> kept;
    for (const std::string& file : platform::ListFolder(settings_.folder, kEvidenceDumpExtension)) {
        if (file == upcomingFile) {
            continue;
        }
        EvidenceName name;
        uint64_t bytes = 0;
        if (ParseEvidenceDumpName(file, &name) &&
            platform::RegularFileBytes(settings_.folder + file, &bytes)) {
            kept.push_back(KeptDump{name.application, file, bytes, name.writtenAtMs});
        }
    }
    const DumpRetentionPlan plan = PlanDumpRetention(
        kept, upcoming,
        DumpRetentionSettings{settings_.keep, settings_.megabytes * kBytesPerMegabyte});
    for (const std::string& file : plan.remove) {
        platform::RemoveFile(settings_.folder + file);
        platform::RemoveFile(settings_.folder + EvidenceNoteName(file));
    }
    return plan.writeUpcoming;
}

void EvidenceWriter::WriteNote(const AppConfig& app, const EvidenceRequest& request,
                               uint32_t processId, int64_t takenAtMs,
                               const EvidenceRecord& record) {
    EvidenceNote note;
    note.application = app.name;
    note.endpoint = app.ip + ":" + std::to_string(app.port & 0xFFFF);
    note.cycle = std::string(request.cycle == Cycle::kSilent ? "silent" : "other") + " " +
                 std::to_string(request.count);
    note.process = std::to_string(processId);
    note.takenAt = RfcTime(takenAtMs);
    note.lastMessageAt =
        request.lastMessageAgeMs < 0 ? "none" : RfcTime(takenAtMs - request.lastMessageAgeMs);
    note.lastMessage = request.lastMessage;
    note.daemonVersion = kZelkVersion;
    note.executableVersion = system_.executableVersion(CommandProgram(app.path));
    note.dump = record.path.substr(settings_.folder.size());
    note.bytes = std::to_string(record.bytes);
    note.milliseconds = std::to_string(record.milliseconds);
    int32_t error = 0;
    // Exclusively, as the dump: a name planted there is left alone, and the
    // dump stays without its note.
    platform::WriteNewFile(settings_.folder + EvidenceNoteName(note.dump), EvidenceNoteText(note),
                           &error);
}
