// Compares ScanToken with a plain reference tokenizer that takes exactly one
// character per step and has no run-skipping loops, on many generated
// inputs. The reference follows the same token rules; any fast path in the
// real tokenizer that changes a token's kind, extent, name, empty-element
// mark or error entries shows up here.
#include "markup/result_report.h"
#include "markup/tokenizer.h"
#include "platform/ansi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

bool RefSpace(uint8_t c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
bool RefNameStart(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x61;
}
bool RefNameEnd(uint8_t c) {
    return RefSpace(c) || c == '/' || c == '>' || c == 0;
}

const char* RefUnterminatedType(TokenKind kind, bool doctype) {
    if (doctype || kind == TokenKind::DocumentType) {
        return "document_type";
    }
    switch (kind) {
        case TokenKind::StartTag:
            return "start_tag";
        case TokenKind::EndTag:
            return "end_tag";
        case TokenKind::CDataSection:
            return "cdata_section";
        case TokenKind::ProcessingInstruction:
            return "processing_instruction";
        case TokenKind::Comment:
            return "comment";
        default:
            return "tag";
    }
}

struct RefResult {
    TokenKind kind = TokenKind::EndOfText;
    int32_t start = 0;
    int32_t length = 0;
    bool empty = false;
    int32_t nameStart = 0;
    int32_t nameEnd = -1;
    std::string errors;
};

// One token from `pos`, one character per loop turn. What has been opened
// ("<", "<!", "<!-", "<![", a doctype, a value) is kept in plain booleans.
RefResult RefScan(const char* t, int32_t end, int32_t pos, int32_t nameStart, int32_t nameEnd) {
    const uint8_t* len = platform::AnsiCharLengths();
    RefResult r;
    r.start = pos;
    r.nameStart = nameStart;
    r.nameEnd = nameEnd;
    int32_t p = pos;
    TokenKind kind = TokenKind::Error;
    bool lt = false, bang = false, dash = false, bracket = false, spaceRun = false;
    bool doctype = false, single = false, dbl = false, equals = false, unquoted = false;
    std::string term;  // bytes before the final ">"; empty with `terminated` false: none
    bool terminated = false;
    int32_t bodyStart = 0;
    int32_t pendingName = -1;
    uint8_t last1 = 0, last2 = 0;

    auto done = [&](TokenKind k, int32_t at) {
        r.kind = k;
        r.length = at - r.start;
        return r;
    };
    auto error = [&](const char* entry, uint8_t c) {
        AddReportEntry(r.errors, entry, nullptr, 0, r.start);
        kind = TokenKind::Error;
        term.clear();
        terminated = true;
        return c == '<' || c == '>';
    };

    for (;;) {
        if (p >= end || t[p] == '\0') {
            if (p > end) {
                p = end;
            }
            if (p == r.start) {
                return done(TokenKind::EndOfText, p);
            }
            if (kind == TokenKind::Text || kind == TokenKind::Whitespace) {
                return done(kind, p);
            }
            AddReportEntry(r.errors, "unterminated_tag_syntax", RefUnterminatedType(kind, doctype),
                           kReportValueType, r.start);
            return done(TokenKind::Error, p);
        }
        const uint8_t c = static_cast<uint8_t>(t[p]);

        if (pendingName >= 0) {
            if (!RefNameEnd(c)) {
                p += len[c];
                continue;
            }
            r.nameStart = pendingName;
            r.nameEnd = p - 1;
            pendingName = -1;
            last1 = last2 = 0;
        }

        if (terminated) {
            const bool quoted = single || dbl;
            if (c == '>' && !quoted) {
                const int32_t lead = static_cast<int32_t>(term.size());
                bool met = true;
                if (lead > 0) {
                    met = p - lead >= bodyStart &&
                          std::string(t + p - lead, static_cast<size_t>(lead)) == term;
                }
                if (met) {
                    if (kind == TokenKind::StartTag && last1 == '/' &&
                        (!unquoted || RefSpace(last2) || last2 == '"' || last2 == '\'')) {
                        r.empty = true;
                    }
                    ++p;
                    if (!doctype) {
                        return done(kind, p);
                    }
                    terminated = false;
                    single = dbl = equals = unquoted = false;
                    continue;
                }
                unquoted = false;
                ++p;
                continue;
            }
            if (c == '<' && (kind == TokenKind::Text || kind == TokenKind::Error)) {
                if (!doctype) {
                    return done(kind, p);
                }
                terminated = false;
                single = dbl = equals = unquoted = false;
                lt = true;
                ++p;
                continue;
            }
            if (kind == TokenKind::StartTag || kind == TokenKind::Error) {
                if (single || dbl || unquoted) {
                    if ((c == '"' && dbl) || (c == '\'' && single) || (RefSpace(c) && unquoted)) {
                        single = dbl = unquoted = false;
                    } else if (kind == TokenKind::StartTag && (single || dbl)) {
                        p += len[c];
                        last1 = last2 = 0;
                        continue;
                    }
                } else if (equals) {
                    if (c == '"') {
                        equals = false;
                        dbl = true;
                    } else if (c == '\'') {
                        equals = false;
                        single = true;
                    } else if (!RefSpace(c)) {
                        equals = false;
                        unquoted = true;
                    }
                } else if (c == '=' && last1 != '=') {
                    equals = true;
                }
                last2 = last1;
                last1 = c;
            } else if (kind == TokenKind::DocumentType) {
                if (c == '"' && !single) {
                    dbl = !dbl;
                } else if (c == '\'' && !dbl) {
                    single = !single;
                }
            }
            p += len[c];
            continue;
        }

        if (spaceRun) {
            if (c == '<') {
                return done(TokenKind::Whitespace, p);
            }
            if (RefSpace(c)) {
                ++p;
                continue;
            }
            spaceRun = false;
            kind = TokenKind::Text;
            term.clear();
            terminated = true;
            p += len[c];
            continue;
        }

        if (lt) {
            lt = false;
            if (RefNameStart(c)) {
                kind = TokenKind::StartTag;
                term.clear();
                terminated = true;
                pendingName = p;
                p += len[c];
            } else if (c == '/') {
                kind = TokenKind::EndTag;
                term.clear();
                terminated = true;
                pendingName = ++p;
            } else if (c == '!') {
                bang = true;
                ++p;
            } else if (c == '?') {
                kind = TokenKind::ProcessingInstruction;
                term = "?";
                terminated = true;
                pendingName = ++p;
                bodyStart = p;
            } else if (!error("first_tag_syntax", c)) {
                p += len[c];
            }
            continue;
        }

        if (bang) {
            bang = false;
            bool again = false;
            if (c == '-') {
                dash = true;
            } else if (doctype) {
                if (c == 'A' || c == 'E' || c == 'N') {
                    kind = TokenKind::DocumentType;
                    term.clear();
                    terminated = true;
                } else {
                    again = error("doctype_tag_syntax", c);
                }
            } else if (c == '[') {
                bracket = true;
            } else if (c == 'D') {
                doctype = true;
                kind = TokenKind::DocumentType;
            } else {
                again = error("exclamation_tag_syntax", c);
            }
            if (!again) {
                p += len[c];
            }
            continue;
        }

        if (dash) {
            dash = false;
            if (c == '-') {
                kind = TokenKind::Comment;
                term = "--";
                terminated = true;
                bodyStart = ++p;
            } else if (!error("comment_tag_syntax", c)) {
                p += len[c];
            }
            continue;
        }

        if (bracket) {
            bracket = false;
            if (c == 'C') {
                kind = TokenKind::CDataSection;
                term = "]]";
                terminated = true;
                bodyStart = ++p;
            } else if (!error("cdata_section_syntax", c)) {
                p += len[c];
            }
            continue;
        }

        if (doctype) {
            if (c == '<') {
                lt = true;
            } else if (c == '>') {
                return done(TokenKind::DocumentType, p + 1);
            }
            p += len[c];
            continue;
        }

        if (c == '<') {
            lt = true;
            ++p;
        } else if (RefSpace(c)) {
            kind = TokenKind::Whitespace;
            spaceRun = true;
            ++p;
        } else {
            kind = TokenKind::Text;
            term.clear();
            terminated = true;
            p += len[c];
        }
    }
}

// Tokenizes text[0..end) with both tokenizers and reports the first
// difference; returns the number of tokens compared.
int CompareAll(const std::string& text, int32_t end) {
    MarkupScanner scanner(text.c_str(), 0, end);
    MarkupToken token;
    int count = 0;
    for (int guard = 0; guard <= end + 1; ++guard) {
        const int32_t pos = scanner.pos;
        const RefResult want = RefScan(text.c_str(), end, pos, scanner.nameStart, scanner.nameEnd);
        token.errors.clear();
        const TokenKind kind = ScanToken(scanner, token);
        const std::string where = "input \"" + text.substr(0, static_cast<size_t>(end)) +
                                  "\" at offset " + std::to_string(pos);
        EXPECT_EQ(static_cast<int>(kind), static_cast<int>(want.kind)) << where;
        EXPECT_EQ(token.start, want.start) << where;
        EXPECT_EQ(token.length, want.length) << where;
        EXPECT_EQ(scanner.pos, want.start + want.length) << where;
        EXPECT_EQ((token.flags & kTokenEmptyElement) != 0, want.empty) << where;
        EXPECT_EQ(token.errors, want.errors) << where;
        if (kind == TokenKind::StartTag || kind == TokenKind::EndTag ||
            kind == TokenKind::ProcessingInstruction) {
            EXPECT_EQ(scanner.nameStart, want.nameStart) << where;
            EXPECT_EQ(scanner.nameEnd, want.nameEnd) << where;
        }
        if (::testing::Test::HasFailure() || kind == TokenKind::EndOfText) {
            break;
        }
        ++count;
    }
    return count;
}

// Pieces that exercise every branch of the token rules, including the odd ones.
const std::vector<std::string>& Fragments() {
    static const std::vector<std::string> pieces = {
        "<a>",
        "</a>",
        "<a/>",
        "<a />",
        "<vagen id=\"1\" type='x'/>",
        "<b c=\"x>y\">",
        "<b c='a\"b'>",
        "<b c=\"a'b\"/>",
        "<b c=d/>",
        "<b c=d />",
        "<b c=/>",
        "<b c==d>",
        "<b c = \"v\" >",
        "<b c=\"unterminated>",
        "<b\tc='1'\n/>",
        "</ a>",
        "</a >",
        "</>",
        "<!-- comment -->",
        "<!-- a -- b -->",
        "<!--->",
        "<!---->",
        "<!-- > -->",
        "<!-x>",
        "<![CDATA[ x < y ]]>",
        "<![CDATA[]]>",
        "<![CDATA[ ]] > ]]>",
        "<![x>",
        "<?pi data?>",
        "<?xml version=\"1.0\"?>",
        "<?>",
        "<?"
        "?>",
        "<?pi > ?>",
        "<!DOCTYPE r>",
        "<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e \"v>w\"><!ATTLIST r a CDATA #IMPLIED>]>",
        "<!DOCTYPE r [<!-- c --><!X>]>",
        "<!DOCTYPE r '>'>",
        "<!X>",
        "<!>",
        "&amp;",
        "&#65;",
        "&#x41;",
        "&bogus;",
        "&",
        "& ",
        "<",
        "< ",
        "<1>",
        "<=>",
        ">",
        "text",
        "more text ",
        " ",
        "\t\r\n ",
        "a>b",
        "\xc3\xa9t\xc3\xa9",
        "\xe2\x82\xac",
        "\xff\xfe",
        "]]>",
        "--",
        "\"",
        "'",
        "=",
        "/",
        "/>",
        "<a",
        "<a b",
        "<a b=",
        "<a b=\"",
        "<!--",
        "<![CDATA[",
        "<?x",
        "<!DOCTYPE",
        "<_x:y-z.1/>",
        "<A B='C'>",
        "<\xc3\xa9/>",
        "<a b=\"&lt;>\"/>",
        "<a b=\"1\"c='2'>",
        "<a b \"x\">",
        "<a b=\"1\"/ >",
        "<a b/c>",
        "<a b=\"1\"=\"2\">",
        "<a b c=\"\">",
        "<a b= \t'1'/>",
        "</a/ >",
        "</a <b>",
        " >x",
        "a text run longer than the short-run limit, > then more",
        "another text run that is long enough to be searched by memchr",
        "\n  \n"};
    return pieces;
}

std::string Generate(std::mt19937& rng, int pieces) {
    const auto& frags = Fragments();
    std::uniform_int_distribution<size_t> pick(0, frags.size() - 1);
    std::uniform_int_distribution<int> noise(0, 19);
    std::string out;
    for (int i = 0; i < pieces; ++i) {
        std::string piece = frags[pick(rng)];
        // Now and then damage a piece: drop, double or replace one byte.
        if (!piece.empty() && noise(rng) == 0) {
            std::uniform_int_distribution<size_t> at(0, piece.size() - 1);
            const size_t k = at(rng);
            switch (noise(rng) % 3) {
                case 0:
                    piece.erase(k, 1);
                    break;
                case 1:
                    piece.insert(k, 1, piece[k]);
                    break;
                default:
                    piece[k] = "<>\"'=/!?-[] \0x"[noise(rng) % 14];
                    break;
            }
        }
        out += piece;
    }
    return out;
}

TEST(TokenizerDifferential, EveryFragmentAloneAndCutAtEveryPosition) {
    for (const std::string& piece : Fragments()) {
        for (int32_t end = 0; end <= static_cast<int32_t>(piece.size()); ++end) {
            CompareAll(piece, end);
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST(TokenizerDifferential, EveryPairOfFragments) {
    for (const std::string& a : Fragments()) {
        for (const std::string& b : Fragments()) {
            const std::string text = a + b;
            CompareAll(text, static_cast<int32_t>(text.size()));
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST(TokenizerDifferential, GeneratedDocumentsCutAtEveryPosition) {
    std::mt19937 rng(20261208);
    int tokens = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string text = Generate(rng, 1 + round % 12);
        for (int32_t end = 0; end <= static_cast<int32_t>(text.size()); ++end) {
            tokens += CompareAll(text, end);
            if (HasFailure()) {
                return;
            }
        }
    }
    EXPECT_GT(tokens, 10000);
}

TEST(TokenizerDifferential, ZeroByteInsideEndsTheText) {
    // The scanner stops at the first zero byte even when `end` lies beyond it.
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::string text = Generate(rng, 4);
        std::uniform_int_distribution<size_t> at(0, text.size());
        text.insert(at(rng), 1, '\0');
        text += Generate(rng, 2);
        CompareAll(text, static_cast<int32_t>(text.size()));
        if (HasFailure()) {
            return;
        }
    }
}

}  // namespace
