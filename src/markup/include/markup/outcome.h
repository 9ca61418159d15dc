// What a parse or a file load met, as a type for callers that decide on it.
// The result report says the same for people and files; its text is not
// meant to be searched.
#pragma once

#include <cstdint>

enum class XmlStatus {
    kWellFormed,          // one root element and no markup error
    kFileNotRead,         // the file could not be opened or read (report: file_error)
    kOutOfMemory,         // memory ran out; the document is left empty (out_of_memory)
    kEmptyText,           // no text at all, e.g. an empty file (no report entry)
    kNoRootElement,       // text without any element (no_root_element)
    kRootHasSibling,      // a second top-level element (root_has_sibling)
    kLoneEndTag,          // an end tag that closes no open element (lone_end_tag)
    kUnendedStartTag,     // a start tag whose end tag is missing (unended_start_tag)
    kBadMarkup,           // a comment, CDATA section, declaration or "<" that cannot be read
                          // (the *_syntax entries)
    kUnterminatedMarkup,  // markup cut off by the end of the text (unterminated_tag_syntax)
    kTagTooLong,          // a tag longer than the index records (tag_too_long)
    kNestingTooDeep,      // elements nested deeper than the index records (nesting_too_deep)
};

// One thing a parse or a load met, and where.
struct XmlOutcome {
    XmlStatus status = XmlStatus::kWellFormed;
    // Byte offset in the document text where it was met: the "<" of the
    // markup concerned (for kRootHasSibling the second top-level element);
    // -1 when it has no place in the text.
    int32_t offset = -1;
    // kUnendedStartTag: where the element was closed, the "/" of the end
    // tag that closed it or the length of the text; otherwise -1.
    int32_t offset2 = -1;
    // kFileNotRead: the platform's error code (0 when it gave none).
    int32_t systemError = 0;
};

// A parse lists at most this many problems; more tell a person nothing new,
// and the result report keeps them up to its own limit.
constexpr int32_t kMaxListedProblems = 16;
