// The lexer's readers for the rarer markup: comments, CDATA sections,
// processing instructions, document type declarations with their internal
// subsets, and the syntax errors. Each is the only place its rules live.
#include "markup/lexer.h"

#include "markup/result_report.h"

namespace lexer {

namespace {

// A syntax error found at `at`: the entry is recorded and the error token
// runs, tracking quotes after "=" like a start tag, to the next ">"
// (included) or "<" (excluded); a quoted ">" does not end it. The byte at
// `at` is looked at again when it is "<" or ">" and passed over otherwise.
template <class Text>
MarkupRead ReadSyntaxError(const Text& in, const char* at, const char* entry, const ErrorSink& sink,
                           TagBytes& bytes) {
    AddReportEntry(sink.errors, entry, nullptr, 0, sink.tokenStart);
    const char* q = at;
    if (*q != '<' && *q != '>') {
        q = in.Next(q);
    }
    char quote = 0;  // the quote of the value inside which q stands
    bool unquoted = false;
    bool afterEquals = false;
    for (;;) {
        if (in.AtEnd(q)) {
            return Read(in.Clip(q), TokenKind::Error, Outcome::Unterminated);
        }
        const char c = *q;
        if (c == '>' && quote == 0) {
            return Read(q + 1, TokenKind::Error, Outcome::Closed);
        }
        if (c == '<') {
            return Read(q, TokenKind::Error, Outcome::BeforeLt);
        }
        if (quote != 0 || unquoted) {
            if (c == quote || (unquoted && IsCharSpace(c))) {
                quote = 0;
                unquoted = false;
            }
        } else if (afterEquals) {
            if (c == '"' || c == '\'') {
                quote = c;
                afterEquals = false;
            } else if (!IsCharSpace(c)) {
                unquoted = true;
                afterEquals = false;
            }
        } else if (c == '=' && bytes.last1 != '=') {
            afterEquals = true;
        }
        bytes.Push(c);
        q = in.Next(q);
    }
}

// A body that ends at the first ">" preceded by `lead` (one or two bytes):
// comments ("-->"), CDATA sections ("]]>") and processing instructions
// ("?>"). The lead bytes must lie at or after bodyStart, so a terminator
// never overlaps its opener ("<!-->" is not a whole comment).
template <class Text>
MarkupRead ReadBody(const Text& in, const char* q, const char* bodyStart, const char* lead,
                    int32_t leadLength, TokenKind kind) {
    for (;;) {
        q = in.Skip(q, kCharBodyStop);
        if (in.AtEnd(q)) {
            return Read(in.Clip(q), kind, Outcome::Unterminated);
        }
        if (q - leadLength >= bodyStart &&
            std::memcmp(q - leadLength, lead, static_cast<size_t>(leadLength)) == 0) {
            return Read(q + 1, kind, Outcome::Closed);
        }
        ++q;
    }
}

// A processing instruction "<?target ...?>" whose "<" is at p; the target
// runs up to whitespace, "/" or ">".
template <class Text>
MarkupRead ReadProcessingInstruction(const Text& in, const char* p, TagBytes& bytes) {
    const char* const bodyStart = p + 2;
    const char* const q = in.Skip(bodyStart, kCharNameEnd);
    if (in.AtEnd(q)) {
        return Read(in.Clip(q), TokenKind::ProcessingInstruction, Outcome::Unterminated);
    }
    bytes = TagBytes{};
    MarkupRead m = ReadBody(in, q, bodyStart, "?", 1, TokenKind::ProcessingInstruction);
    m.name = bodyStart;
    m.nameLength = static_cast<int32_t>(q - bodyStart);
    return m;
}

// A markup declaration of an internal subset ("<!ELEMENT", "<!ATTLIST",
// "<!ENTITY", "<!NOTATION"), from after its first letter, up to a ">"
// outside quotes.
template <class Text>
MarkupRead ReadMarkupDeclaration(const Text& in, const char* q) {
    char quote = 0;
    for (;;) {
        if (in.AtEnd(q)) {
            return Read(in.Clip(q), TokenKind::DocumentType, Outcome::Unterminated);
        }
        const char c = *q;
        if (c == '>' && quote == 0) {
            return Read(q + 1, TokenKind::DocumentType, Outcome::Closed);
        }
        if ((c == '"' || c == '\'') && (quote == 0 || quote == c)) {
            quote = quote == 0 ? c : 0;
        }
        q = in.Next(q);
    }
}

// A document type declaration, from after "<!D" up to the first ">" outside
// nested markup. "<" inside it starts nested markup (the internal subset),
// read by ReadMarkup like markup outside; when that ends, the declaration
// goes on. An error in the subset is recorded and runs only to the next "<".
template <class Text>
MarkupRead ReadDocumentType(const Text& in, const char* q, const ErrorSink& sink, TagBytes& bytes) {
    const ErrorSink subset{sink.errors, sink.tokenStart, true};
    MarkupRead m = Read(nullptr, TokenKind::DocumentType, Outcome::Unterminated);
    for (;;) {
        q = in.Skip(q, kCharTextStop);
        if (in.AtEnd(q)) {
            m.next = in.Clip(q);
            return m;
        }
        if (*q == '>') {
            m.outcome = Outcome::Closed;
            m.next = q + 1;
            return m;
        }
        const MarkupRead nested = ReadMarkup(in, q, subset, bytes);
        m.empty |= nested.empty;
        if (nested.nameLength >= 0) {
            m.name = nested.name;
            m.nameLength = nested.nameLength;
        }
        if (nested.outcome == Outcome::Unterminated) {
            m.next = nested.next;
            return m;
        }
        q = nested.next;
    }
}

// After "<!-" or "<![", at q: `opener` begins the body of a comment or a
// CDATA section, which ends at a ">" after `lead`; any other byte is the
// syntax error `entry`.
template <class Text>
MarkupRead ReadOpened(const Text& in, const char* q, char opener, const char* entry,
                      const char* lead, TokenKind kind, const ErrorSink& sink, TagBytes& bytes) {
    if (in.AtEnd(q)) {
        return Read(in.Clip(q), TokenKind::Error, Outcome::Unterminated);
    }
    if (*q != opener) {
        return ReadSyntaxError(in, q, entry, sink, bytes);
    }
    return ReadBody(in, q + 1, q + 1, lead, 2, kind);
}

// After "<!" (at p): "<!--" a comment, "<![C" a CDATA section, "<!D" a
// document type declaration and, inside one, "<!A", "<!E" and "<!N" markup
// declarations. The rest of "CDATA[" and "OCTYPE" is not examined.
template <class Text>
MarkupRead ReadDeclaration(const Text& in, const char* p, const ErrorSink& sink, TagBytes& bytes) {
    const char* const q = p + 2;
    if (in.AtEnd(q)) {
        return Read(in.Clip(q), TokenKind::Error, Outcome::Unterminated);
    }
    const char c = *q;
    if (c == '-') {
        return ReadOpened(in, q + 1, '-', "comment_tag_syntax", "--", TokenKind::Comment, sink,
                          bytes);
    }
    if (sink.inDoctype) {
        if (c == 'A' || c == 'E' || c == 'N') {
            return ReadMarkupDeclaration(in, q + 1);
        }
        return ReadSyntaxError(in, q, "doctype_tag_syntax", sink, bytes);
    }
    if (c == '[') {
        return ReadOpened(in, q + 1, 'C', "cdata_section_syntax", "]]", TokenKind::CDataSection,
                          sink, bytes);
    }
    if (c == 'D') {
        return ReadDocumentType(in, q + 1, sink, bytes);
    }
    return ReadSyntaxError(in, q, "exclamation_tag_syntax", sink, bytes);
}

}  // namespace

template <class Text>
MarkupRead ReadOtherMarkup(const Text& in, const char* p, const ErrorSink& sink, TagBytes bytes) {
    const char* const p1 = p + 1;
    MarkupRead m;
    if (in.AtEnd(p1)) {
        m = Read(in.Clip(p1), TokenKind::Error, Outcome::Unterminated);
    } else if (*p1 == '!') {
        m = ReadDeclaration(in, p, sink, bytes);
    } else if (*p1 == '?') {
        m = ReadProcessingInstruction(in, p, bytes);
    } else {
        m = ReadSyntaxError(in, p1, "first_tag_syntax", sink, bytes);
    }
    m.bytes = bytes;
    return m;
}

template MarkupRead ReadOtherMarkup<ByteText>(const ByteText&, const char*, const ErrorSink&,
                                              TagBytes);
template MarkupRead ReadOtherMarkup<ByteSpan>(const ByteSpan&, const char*, const ErrorSink&,
                                              TagBytes);
template MarkupRead ReadOtherMarkup<CharText>(const CharText&, const char*, const ErrorSink&,
                                              TagBytes);

void AddUnterminated(std::string& errors, TokenKind kind, int32_t tokenStart) {
    const char* type = "tag";
    if (kind == TokenKind::DocumentType) {
        type = "document_type";
    } else if (kind == TokenKind::StartTag) {
        type = "start_tag";
    } else if (kind == TokenKind::EndTag) {
        type = "end_tag";
    } else if (kind == TokenKind::CDataSection) {
        type = "cdata_section";
    } else if (kind == TokenKind::ProcessingInstruction) {
        type = "processing_instruction";
    } else if (kind == TokenKind::Comment) {
        type = "comment";
    }
    AddReportEntry(errors, "unterminated_tag_syntax", type, kReportValueType, tokenStart);
}

}  // namespace lexer
