// TextFile and LoadTextFromFile: one probe read for the mark and declaration,
// one block read for the rest, converted straight into the document text.
#include "markup/text_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "markup/encodings.h"
#include "markup/result_report.h"
#include "platform/file_read.h"

namespace {

// Byte-order marks, tried in this order. There is no UTF-32 row: such a file
// is read as 8-bit text.
struct ByteOrderMark {
    const char* bytes;
    int32_t length;
    const char* name;
    uint32_t flag;
};
const ByteOrderMark kMarks[] = {
    {"\xEF\xBB\xBF", 3, "UTF-8", kFileMarkUtf8},
    {"\xFF\xFE", 2, "UTF-16LE", kFileMarkUtf16Le},
    {"\xFE\xFF", 2, "UTF-16BE", kFileMarkUtf16Be},
};

// Report entry options (see result_report.h).
constexpr int kEntryPlain = 0;
constexpr int kEntryEncodingLength = kReportValueEncoding | kReportNumberLength;

bool MachineIsLittleEndian() {
    const uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// True for encodings whose units are wider than a byte.
bool HasWideUnits(int codePage) {
    return codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001 ||
           codePage == kCodePageUtf32;
}

// Drops the zero units of units[0..count) in place, keeping the order.
// Returns how many were dropped.
template <typename Unit>
int32_t RemoveZeros(Unit* units, int32_t count) {
    Unit* const end = units + count;
    Unit* const kept = std::remove(units, end, Unit(0));
    return static_cast<int32_t>(end - kept);
}

}  // namespace

TextFile::~TextFile() {
    if (stream != nullptr) {
        std::fclose(stream);
    }
}

bool TextFile::Open(const char* path) {
    report.clear();
    // Mark bits from an earlier load never describe this file.
    flags &= ~kFileMarkBits;
    platform::ClearLastErrorCode();
    stream = platform::OpenFileForReading(path != nullptr ? path : "");
    if (stream == nullptr) {
        return ReportFileError();
    }
    unitSize = 1;
    int32_t markLength = 0;
    fileSize = platform::FileStreamSize(stream);
    if (fileSize < 0) {
        fileSize = 0;
        return ReportFileError();
    }
    const int32_t probeLength = std::min(fileSize, kProbeBytes);
    bool readFailed = false;
    if (probeLength > 0) {
        char probe[kProbeBytes];
        readFailed = std::fread(probe, static_cast<size_t>(probeLength), 1, stream) != 1;
        if (!readFailed) {
            bool marked = false;
            for (const ByteOrderMark& mark : kMarks) {
                if (mark.length <= probeLength &&
                    std::memcmp(probe, mark.bytes, mark.length) == 0) {
                    flags |= mark.flag;
                    unitSize = mark.length == 2 ? 2 : 1;
                    encoding = mark.name;
                    markLength = mark.length;
                    marked = true;
                    break;
                }
            }
            // Reading goes on right after the mark, or from the start.
            if (markLength < probeLength && std::fseek(stream, markLength, SEEK_SET) != 0) {
                readFailed = true;
            }
            if (!marked) {
                encoding = FindDeclaredEncoding(std::string(probe, probeLength));
            }
            if (encoding.empty() && probe[0] == '<') {
                encoding = "UTF-8";
            }
        }
    }
    position = markLength;
    if (readFailed) {
        return ReportFileError();
    }
    if (markLength > 0) {
        AddReportEntry(report, "bom", nullptr, kEntryPlain);
    }
    return true;
}

bool TextFile::ReadText(std::string& text) {
    report.clear();
    if (blockBytes > fileSize - position) {
        blockBytes = fileSize - position;
    }
    if (blockBytes <= 0) {
        blockBytes = 0;
        AddReportEntry(report, "read", encoding.c_str(), kEntryEncodingLength, 0);
        return true;
    }
    bool ok;
    if ((flags & (kFileMarkUtf16Le | kFileMarkUtf16Be)) != 0) {
        // An odd last byte is read but not counted.
        const int32_t units = blockBytes / 2;
        std::unique_ptr<uint16_t[]> wide(new uint16_t[static_cast<size_t>(units) + 1]);
        ok = ReadBlock(wide.get());
        if (ok) {
            ConvertInto(text, "UTF-16", wide.get(), unitCount);
        }
        return ok;
    }
    // A declared (or forced) encoding of 16- or 32-bit units cannot describe
    // 8-bit text, whose bytes the converter would read as wider units.
    if (HasWideUnits(LookupCodePage(encoding.c_str()))) {
        encoding = "UTF-8";
    }
    const bool detect = encoding.empty();
    if (NeedsConversion("", encoding.c_str())) {
        std::unique_ptr<char[]> scratch(new char[static_cast<size_t>(blockBytes)]);
        ok = ReadBlock(scratch.get());
        if (ok) {
            ConvertInto(text, encoding.c_str(), scratch.get(), unitCount);
        }
    } else {
        // Read straight into the document text, with room for a small growth.
        text.resize(static_cast<size_t>(blockBytes) + static_cast<size_t>(blockBytes) / 100);
        ok = ReadBlock(&text[0]);
        bool convert = false;
        if (ok && detect) {
            int multiByte = 0;
            bool failedAtEnd = false;
            if (TestUtf8(text.data(), unitCount, &multiByte, &failedAtEnd)) {
                encoding = "UTF-8";
                AddReportEntry(report, "read", "UTF-8", kReportValueEncoding | kReportUpdate);
                // Converted whatever the document's code page is: the UTF-8 check lets
                // overlong forms and surrogates pass, and a conversion from
                // UTF-8, even into UTF-8, replaces them.
                convert = multiByte > 0;
            }
        }
        text.resize(ok ? static_cast<size_t>(unitCount) : 0);
        if (convert) {
            std::string converted;
            ConvertInto(converted, "UTF-8", text.data(), unitCount);
            text.swap(converted);
        }
    }
    if (detect) {
        AddReportEntry(report, "utf8_detection", nullptr, kEntryPlain);
    }
    return ok;
}

bool TextFile::ReadBlock(void* buffer) {
    platform::ClearLastErrorCode();
    const bool ok = blockBytes > 0 && stream != nullptr &&
                    std::fread(buffer, static_cast<size_t>(blockBytes), 1, stream) == 1;
    unitCount = blockBytes / unitSize;
    if (!ok) {
        return ReportFileError();
    }
    position += blockBytes;
    AddReportEntry(report, "read", encoding.c_str(), kEntryEncodingLength, unitCount);
    const int32_t removed = unitSize == 2 ? RemoveZeros(static_cast<uint16_t*>(buffer), unitCount)
                                          : RemoveZeros(static_cast<char*>(buffer), unitCount);
    if (removed > 0) {
        AddReportEntry(report, "nulls_removed", nullptr, kReportNumberCount, removed);
        unitCount -= removed;
    }
    if (unitSize == 2) {
        const bool little = MachineIsLittleEndian();
        if ((little && (flags & kFileMarkUtf16Be) != 0) ||
            (!little && (flags & kFileMarkUtf16Le) != 0)) {
            uint16_t* units = static_cast<uint16_t*>(buffer);
            for (int32_t i = 0; i < unitCount; ++i) {
                units[i] = static_cast<uint16_t>((units[i] >> 8) | (units[i] << 8));
            }
            AddReportEntry(report, "endian_swap", nullptr, kEntryPlain);
        }
    }
    return true;
}

bool TextFile::Close() {
    if (stream == nullptr) {
        return false;
    }
    platform::ClearLastErrorCode();
    if (std::fclose(stream) != 0) {
        ReportFileError();
    }
    stream = nullptr;
    flags &= ~(kFileReading | kFileWriting | kFileAppending);
    return true;
}

bool TextFile::ReportFileError() {
    const int code = platform::LastErrorCode();
    if (firstError == 0) {
        firstError = code;
    }
    std::string message = platform::SystemErrorText(code);
    message.resize(std::min(message.size(), message.find_first_of("\r\n")));
    AddReportEntry(report, "file_error", message.c_str(), kReportValueMsg | kReportNumberN, code);
    return false;
}

void TextFile::ConvertInto(std::string& text, const char* from, const void* source,
                           int32_t length) {
    EncodingConverter job(from, source, length);
    const int32_t measured = job.ConvertText(nullptr, "");
    // Sized by the measuring pass plus 1 percent, converted in place.
    text.resize(static_cast<size_t>(measured) + static_cast<size_t>(measured) / 100);
    const int32_t converted = measured > 0 ? job.ConvertText(&text[0], nullptr) : 0;
    text.resize(static_cast<size_t>(std::min(converted, measured)));
    AddReportEntry(report, "converted_to", "", kEntryEncodingLength, static_cast<int>(text.size()));
    if (job.failedCount != 0) {
        AddReportEntry(report, "conversion_loss", nullptr, kEntryPlain);
    }
}

bool LoadTextFromFile(const char* path, std::string& text, std::string* report, uint32_t* flags,
                      std::string* encoding, int32_t* systemError) {
    TextFile file((flags != nullptr ? *flags : 0) | kFileReading);
    const bool opened = file.Open(path);
    if (opened && encoding != nullptr && !encoding->empty() && (file.flags & kFileMarkBits) == 0) {
        file.encoding = *encoding;
    }
    if (report != nullptr) {
        *report = file.report;
    }
    text.clear();
    if (!opened) {
        if (systemError != nullptr) {
            *systemError = file.firstError;
        }
        return false;
    }
    file.blockBytes = file.fileSize - file.position;
    const bool ok = file.ReadText(text);
    file.Close();
    if (report != nullptr) {
        *report += file.report;
    }
    if (flags != nullptr) {
        *flags = file.flags;
    }
    if (encoding != nullptr) {
        *encoding = file.encoding;
    }
    if (!ok && systemError != nullptr) {
        *systemError = file.firstError;
    }
    return ok;
}
