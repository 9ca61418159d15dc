// Encoding names, code pages and conversion between them.
//
// The document text is 8-bit text in the system's ANSI code page. An empty
// encoding name always means that code page. Conversions between 8-bit code
// pages go through UTF-16 with the platform's code-page services; UTF-8, UTF-16
// and UTF-32 code points are also encoded and decoded by hand here.
#pragma once

#include <cstdint>
#include <string>

// Code page 0 stands for the ANSI code page of the running system.
constexpr int kCodePageAnsi = 0;
// UTF-16 in machine byte order.
constexpr int kCodePageUtf16 = 1200;
constexpr int kCodePageUtf8 = 65001;
// UTF-32 in machine byte order. Not in the name table: only names beginning
// with "UTF-32" (exactly, respecting case) give it.
constexpr int kCodePageUtf32 = 65005;

// Code page of an encoding name: 0 for an empty (or null) name, -1 for a name
// that is not known or is 100 bytes or longer. Case of A-Z is ignored.
int LookupCodePage(const char* name);

// True when text in fromEncoding must be converted to become toEncoding text.
// A name that is not known is never converted (false).
bool NeedsConversion(const char* toEncoding, const char* fromEncoding);

// True for the code pages with which the platform conversion must not be asked
// whether it used a default character (it refuses the call for them).
bool SkipsLossCheck(int codePage);

// True when bytes[0..length) are valid UTF-8 as DecodeUtf8 reads it; stops early
// at a zero byte. multiByteCount receives the number of multi-byte sequences;
// failedAtEnd (on false) whether the failing sequence was cut by the end.
bool TestUtf8(const char* bytes, int length, int* multiByteCount, bool* failedAtEnd);

// Decodes one UTF-8 code point at *cursor and advances past what it used.
// Returns -1 for an invalid sequence (a continuation byte that is not one is
// left unread). Bytes 0x80-0xBF are read as 2-byte lead bytes; overlong forms
// and values above 0x10FFFF are not rejected.
int DecodeUtf8(const char** cursor, const char* end);

// Decodes one UTF-16 code point at *cursor and advances past what it used.
// Returns -1 for a surrogate that is not part of a high-low pair; the unit after
// it is then left unread.
int DecodeUtf16(const uint16_t** cursor, const uint16_t* end);

// Appends the code point at buffer[*length] and advances *length by the units
// written. With a null buffer only *length advances.
void EncodeUtf8(uint32_t codePoint, char* buffer, int* length);
void EncodeUtf16(uint32_t codePoint, uint16_t* buffer, int* length);

// One conversion job. The source buffer is not owned: the caller keeps it alive
// while the job is used. Callers measure first (null buffer, target name given)
// and convert into a buffer of at least that many units in a second call.
class EncodingConverter {
  public:
    // A job from text in fromEncoding; fromLength counts the source's units
    // (bytes, 16-bit units for UTF-16, 32-bit units for UTF-32).
    EncodingConverter(const char* fromEncoding, const void* fromBuffer, int32_t fromLength);

    // Converts the source into toBuffer, or only measures when toBuffer is null.
    // A non-null toEncoding first replaces the job's target name. Returns the
    // units produced (bytes for 8-bit targets), also stored in toLength; 0 when
    // the pair has no conversion route or the platform rejects a code page.
    // failedCount is set nonzero when a default character had to be used.
    int32_t ConvertText(void* toBuffer, const char* toEncoding);

    std::string toEncoding;    // target name, "" = the ANSI code page
    std::string fromEncoding;  // source name
    const void* fromBuffer;    // source text, not owned
    int32_t fromLength;        // source length in its units
    int32_t toLength = 0;      // units produced by the last pass
    int32_t failedCount = 0;   // nonzero when the last pass lost characters
};
