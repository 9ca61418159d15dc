// Reading a text file into the document's character set: byte-order marks,
// the declared encoding, UTF-8 detection, zero removal, byte swapping and
// conversion, each step recorded in a result report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Bits of the flags word that a file load reads and sets. Other bits of the
// document's flags pass through unchanged.
constexpr uint32_t kFileMarkUtf16Le = 0x01;  // a UTF-16LE byte-order mark was found
constexpr uint32_t kFileMarkUtf8 = 0x04;     // a UTF-8 byte-order mark was found
constexpr uint32_t kFileMarkUtf16Be = 0x80;  // a UTF-16BE byte-order mark was found
constexpr uint32_t kFileReading = 0x10;      // the file is open for reading
constexpr uint32_t kFileWriting = 0x20;      // open for writing (not used by this system)
constexpr uint32_t kFileAppending = 0x40;    // open for appending (not used by this system)
constexpr uint32_t kFileMarkBits = kFileMarkUtf16Le | kFileMarkUtf8 | kFileMarkUtf16Be;

// The first bytes of a file that are read to find its mark and declaration.
constexpr int32_t kProbeBytes = 1024;

// Reads one file for the duration of one load and owns its stream. The
// operations record what they meet in `report` (result-report entries).
class TextFile {
  public:
    explicit TextFile(uint32_t startFlags) : flags(startFlags) {}
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Opens path for reading, measures it, reads up to 1024 bytes once to
    // find a byte-order mark or a declared encoding, and leaves the stream
    // just after the mark. False (with a file_error entry) on failure.
    bool Open(const char* path);
    // Reads the next block of blockBytes bytes into text, converted into the
    // document's character set. False when the read failed.
    bool ReadText(std::string& text);
    // Reads blockBytes bytes into buffer (room for blockBytes bytes), removes
    // zero units and brings 16-bit units into machine order; unitCount
    // receives the units kept. False (with a file_error entry) on failure.
    bool ReadBlock(void* buffer);
    // Closes the stream and clears the mode bits. False when none was open.
    bool Close();
    // Records the last system error as a file_error entry; always false.
    bool ReportFileError();

    std::FILE* stream = nullptr;  // owned; null when closed
    uint32_t flags;               // mode and mark bits (kFile*)
    int32_t blockBytes = 0;       // bytes the next block read takes
    int32_t fileSize = 0;         // measured when opened
    int32_t position = 0;         // bytes of the file consumed so far
    int32_t unitSize = 1;         // 1 for 8-bit text, 2 for 16-bit text
    int32_t unitCount = 0;        // units of the last block after zero removal
    std::string report;           // result-report entries of this file operation
    std::string encoding;         // mark name, declared name, "UTF-8" or empty
    int32_t firstError = 0;       // the system's code of the first file_error entry; 0 without

  private:
    // Converts length units of source in encoding `from` into text (the
    // document's character set) and records converted_to and conversion_loss.
    void ConvertInto(std::string& text, const char* from, const void* source, int32_t length);
};

// Loads the file at path into text, converted into the document's character
// set. report (optional) receives the entries of the file operation; flags
// (optional) gives the bits to start from and receives the mark bits;
// encoding (optional) forces the encoding of a file without a byte-order mark
// when not empty, and receives the encoding used. False when the file could
// not be opened or read; text is then empty or incomplete, and systemError
// (optional) receives the system's error code of that failure.
bool LoadTextFromFile(const char* path, std::string& text, std::string* report, uint32_t* flags,
                      std::string* encoding, int32_t* systemError = nullptr);

// The encoding named at the start of a file (at most its first 1024 bytes):
// the encoding attribute of an XML declaration at offset 0, or the charset of
// an HTML meta Content-Type tag in the head. Empty when none is found.
std::string FindDeclaredEncoding(const std::string& text);
