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
MarkupRead ReadSyntaxError(const Text& in, int32_t at, const char* entry, MarkupContext& cx) {
    AddReportEntry(cx.errors, entry, nullptr, 0, cx.tokenStart);
    const char* const t = in.t;
    int32_t q = at;
    if (t[q] != '<' && t[q] != '>') {
        q = in.Next(q);
    }
    char quote = 0;  // the quote of the value inside which q stands
    bool unquoted = false;
    bool afterEquals = false;
    TagBytes& bytes = cx.bytes;
    for (;;) {
        if (in.AtEnd(q)) {
            return {TokenKind::Error, Outcome::Unterminated, in.Clip(q)};
        }
        const char c = t[q];
        if (c == '>' && quote == 0) {
            return {TokenKind::Error, Outcome::Closed, q + 1};
        }
        if (c == '<') {
            return {TokenKind::Error, Outcome::BeforeLt, q};
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
MarkupRead ReadBody(const Text& in, int32_t q, int32_t bodyStart, const char* lead,
                    int32_t leadLength, TokenKind kind) {
    const char* const t = in.t;
    for (;;) {
        q = in.Skip(q, kCharBodyStop);
        if (in.AtEnd(q)) {
            return {kind, Outcome::Unterminated, in.Clip(q)};
        }
        if (q - leadLength >= bodyStart &&
            std::memcmp(t + q - leadLength, lead, static_cast<size_t>(leadLength)) == 0) {
            return {kind, Outcome::Closed, q + 1};
        }
        ++q;
    }
}

// A processing instruction "<?target ...?>" whose "<" is at p; the target
// runs up to whitespace, "/" or ">".
template <class Text>
MarkupRead ReadProcessingInstruction(const Text& in, int32_t p, MarkupContext& cx) {
    const int32_t bodyStart = p + 2;
    const int32_t q = in.Skip(bodyStart, kCharNameEnd);
    if (in.AtEnd(q)) {
        return {TokenKind::ProcessingInstruction, Outcome::Unterminated, in.Clip(q)};
    }
    cx.name = TagName{bodyStart, q - 1};
    cx.named = true;
    cx.bytes = TagBytes{};
    return ReadBody(in, q, bodyStart, "?", 1, TokenKind::ProcessingInstruction);
}

// A markup declaration of an internal subset ("<!ELEMENT", "<!ATTLIST",
// "<!ENTITY", "<!NOTATION"), from after its first letter, up to a ">"
// outside quotes.
template <class Text>
MarkupRead ReadMarkupDeclaration(const Text& in, int32_t q) {
    const char* const t = in.t;
    char quote = 0;
    for (;;) {
        if (in.AtEnd(q)) {
            return {TokenKind::DocumentType, Outcome::Unterminated, in.Clip(q)};
        }
        const char c = t[q];
        if (c == '>' && quote == 0) {
            return {TokenKind::DocumentType, Outcome::Closed, q + 1};
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
MarkupRead ReadDocumentType(const Text& in, int32_t q, MarkupContext& cx) {
    const char* const t = in.t;
    cx.inDoctype = true;
    for (;;) {
        q = in.Skip(q, kCharTextStop);
        if (in.AtEnd(q)) {
            return {TokenKind::DocumentType, Outcome::Unterminated, in.Clip(q)};
        }
        if (t[q] == '>') {
            return {TokenKind::DocumentType, Outcome::Closed, q + 1};
        }
        const MarkupRead nested = ReadMarkup(in, q, cx);
        if (nested.outcome == Outcome::Unterminated) {
            return {TokenKind::DocumentType, Outcome::Unterminated, nested.next};
        }
        q = nested.next;
    }
}

// After "<!" (at p): "<!--" a comment, "<![C" a CDATA section, "<!D" a
// document type declaration and, inside one, "<!A", "<!E" and "<!N" markup
// declarations. The rest of "CDATA[" and "OCTYPE" is not examined.
template <class Text>
MarkupRead ReadDeclaration(const Text& in, int32_t p, MarkupContext& cx) {
    const char* const t = in.t;
    const int32_t q = p + 2;
    if (in.AtEnd(q)) {
        return {TokenKind::Error, Outcome::Unterminated, in.Clip(q)};
    }
    const char c = t[q];
    if (c == '-') {
        if (in.AtEnd(q + 1)) {
            return {TokenKind::Error, Outcome::Unterminated, in.Clip(q + 1)};
        }
        if (t[q + 1] != '-') {
            return ReadSyntaxError(in, q + 1, "comment_tag_syntax", cx);
        }
        return ReadBody(in, q + 2, q + 2, "--", 2, TokenKind::Comment);
    }
    if (cx.inDoctype) {
        if (c == 'A' || c == 'E' || c == 'N') {
            return ReadMarkupDeclaration(in, q + 1);
        }
        return ReadSyntaxError(in, q, "doctype_tag_syntax", cx);
    }
    if (c == '[') {
        if (in.AtEnd(q + 1)) {
            return {TokenKind::Error, Outcome::Unterminated, in.Clip(q + 1)};
        }
        if (t[q + 1] != 'C') {
            return ReadSyntaxError(in, q + 1, "cdata_section_syntax", cx);
        }
        return ReadBody(in, q + 2, q + 2, "]]", 2, TokenKind::CDataSection);
    }
    if (c == 'D') {
        return ReadDocumentType(in, q + 1, cx);
    }
    return ReadSyntaxError(in, q, "exclamation_tag_syntax", cx);
}

}  // namespace

template <class Text>
MarkupRead ReadOtherMarkup(const Text& in, int32_t p, MarkupContext& cx) {
    const int32_t p1 = p + 1;
    if (in.AtEnd(p1)) {
        return {TokenKind::Error, Outcome::Unterminated, in.Clip(p1)};
    }
    const char c = in.t[p1];
    if (c == '!') {
        return ReadDeclaration(in, p, cx);
    }
    if (c == '?') {
        return ReadProcessingInstruction(in, p, cx);
    }
    return ReadSyntaxError(in, p1, "first_tag_syntax", cx);
}

template MarkupRead ReadOtherMarkup<ByteText>(const ByteText&, int32_t, MarkupContext&);
template MarkupRead ReadOtherMarkup<CharText>(const CharText&, int32_t, MarkupContext&);

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
