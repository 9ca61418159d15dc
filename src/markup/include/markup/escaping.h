// The two directions between values and document text: escaping markup
// characters for writing, and decoding entity and character references for
// reading. Both work on 8-bit text in the ANSI code page and step over
// multibyte characters whole.
#pragma once

#include <cstdint>
#include <string>

// EscapeValue options.
constexpr int kEscapeKeepReferences = 0x08;  // leave "&name;" and "&#...;" untouched
constexpr int kEscapeAttribute = 0x100;      // also escape '"' and '\''

// UnescapeValue options (the document's flags word).
constexpr uint32_t kUnescapeTrim = 0x100;      // drop leading and trailing white space
constexpr uint32_t kUnescapeCollapse = 0x200;  // also collapse inner runs to one space

// `text` with "<", "&", ">" (and in attribute mode '"' and '\'') replaced by
// their predefined references.
std::string EscapeValue(const std::string& text, int options);

// Decodes the references of the first `length` bytes of `text` (-1: up to
// the zero byte). A reference that names no known entity, gives code point
// 0, a surrogate or a value above U+10FFFF, or that the ANSI code page cannot
// represent, is kept as written.
std::string UnescapeValue(const char* text, int length, uint32_t options);
// The same, appended to `out`.
void AppendUnescaped(const char* text, int length, uint32_t options, std::string& out);

// `text` wrapped in a CDATA section, "]]>" split across two sections.
std::string EscapeCData(const std::string& text);
