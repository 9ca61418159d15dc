#include "supervision/evidence_files.h"

#include <cstdio>
#include <cstring>

#include "journal/time_format.h"
#include "supervision/log_sanitize.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool KeptInName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

int HexValue(char c) {
    const char* at = std::strchr(kHex, c);
    return c != '\0' && at != nullptr ? static_cast<int>(at - kHex) : -1;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "20261209T031415123Z" of an instant, and back.
std::string CompactUtc(int64_t ms) {
    const std::string rfc = journal::FormatRfc3339(journal::Time{ms, 0});  // ...T03:14:15.123+00:00
    std::string compact;
    for (char c : rfc.substr(0, 23)) {
        if (c != '-' && c != ':' && c != '.') {
            compact += c;
        }
    }
    return compact + "Z";
}

bool ParseCompactUtc(std::string_view text, int64_t* ms) {
    if (text.size() != 19 || text[8] != 'T' || text[18] != 'Z' || !AllDigits(text.substr(0, 8)) ||
        !AllDigits(text.substr(9, 9))) {
        return false;
    }
    const std::string s(text);
    const std::string rfc = s.substr(0, 4) + "-" + s.substr(4, 2) + "-" + s.substr(6, 2) + "T" +
                            s.substr(9, 2) + ":" + s.substr(11, 2) + ":" + s.substr(13, 2) + "." +
                            s.substr(15, 3) + "Z";
    journal::Time time;
    if (!journal::ParseRfc3339(rfc, &time)) {
        return false;
    }
    *ms = time.ms;
    return true;
}

struct NoteKey {
    const char* key;
    std::string EvidenceNote::*field;
};

const NoteKey kNoteKeys[] = {
    {"application", &EvidenceNote::application},
    {"endpoint", &EvidenceNote::endpoint},
    {"cycle", &EvidenceNote::cycle},
    {"process", &EvidenceNote::process},
    {"taken at", &EvidenceNote::takenAt},
    {"last message at", &EvidenceNote::lastMessageAt},
    {"last message", &EvidenceNote::lastMessage},
    {"daemon version", &EvidenceNote::daemonVersion},
    {"executable version", &EvidenceNote::executableVersion},
    {"dump", &EvidenceNote::dump},
    {"bytes", &EvidenceNote::bytes},
    {"milliseconds", &EvidenceNote::milliseconds},
};

}  // namespace

std::string EvidenceDumpName(const EvidenceName& name) {
    std::string text;
    for (char c : name.application) {
        if (KeptInName(c)) {
            text += c;
        } else {
            const unsigned char byte = static_cast<unsigned char>(c);
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0F];
        }
    }
    return text + "_" + CompactUtc(name.writtenAtMs) + "_" + std::to_string(name.processId) + "." +
           kEvidenceDumpExtension;
}

std::string EvidenceNoteName(const std::string& dumpName) {
    const std::size_t dot = dumpName.rfind('.');
    return dumpName.substr(0, dot) + "." + kEvidenceNoteExtension;
}

bool ParseEvidenceDumpName(std::string_view fileName, EvidenceName* name) {
    const std::string suffix = std::string(".") + kEvidenceDumpExtension;
    if (fileName.size() <= suffix.size() ||
        fileName.substr(fileName.size() - suffix.size()) != suffix) {
        return false;
    }
    fileName.remove_suffix(suffix.size());
    const std::size_t second = fileName.rfind('_');
    const std::size_t first = second == 0 || second == std::string_view::npos
                                  ? std::string_view::npos
                                  : fileName.rfind('_', second - 1);
    if (first == std::string_view::npos) {
        return false;
    }
    const std::string_view process = fileName.substr(second + 1);
    EvidenceName read;
    if (!AllDigits(process) || process.size() > 10 ||
        !ParseCompactUtc(fileName.substr(first + 1, second - first - 1), &read.writtenAtMs)) {
        return false;
    }
    const unsigned long long id = std::stoull(std::string(process));
    if (id > UINT32_MAX) {
        return false;
    }
    read.processId = static_cast<uint32_t>(id);
    const std::string_view encoded = fileName.substr(0, first);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (KeptInName(encoded[i])) {
            read.application += encoded[i];
        } else if (encoded[i] == '%' && i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0 &&
                   HexValue(encoded[i + 2]) >= 0) {
            read.application +=
                static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    if (read.application.empty()) {
        return false;
    }
    *name = read;
    return true;
}

std::string EvidenceNoteText(const EvidenceNote& note) {
    std::string text;
    for (const NoteKey& key : kNoteKeys) {
        text += std::string(key.key) + ": " + SanitizeForLog(note.*key.field) + "\n";
    }
    return text;
}

bool ParseEvidenceNote(std::string_view text, EvidenceNote* note) {
    bool known = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos) {
            continue;
        }
        for (const NoteKey& key : kNoteKeys) {
            if (line.substr(0, colon) == key.key) {
                note->*key.field = std::string(line.substr(colon + 2));
                known = true;
            }
        }
    }
    return known;
}
