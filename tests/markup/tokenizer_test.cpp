#include "markup/tokenizer.h"

#include "platform/ansi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Tok {
    TokenKind kind;
    std::string text;
    std::string name;  // for tags and processing instructions
    bool empty;
};

std::vector<Tok> Scan(const std::string& text, std::string* errors = nullptr) {
    MarkupScanner scanner(text.c_str(), 0, static_cast<int32_t>(text.size()));
    MarkupToken token;
    std::vector<Tok> out;
    for (int guard = 0; guard < 1000; ++guard) {
        const TokenKind kind = ScanToken(scanner, token);
        EXPECT_EQ(kind, token.kind);
        EXPECT_EQ(scanner.pos, token.start + token.length);
        if (kind == TokenKind::EndOfText) {
            EXPECT_EQ(token.length, 0);
            break;
        }
        EXPECT_GT(token.length, 0) << "every token covers at least one byte";
        Tok t{kind,
              text.substr(static_cast<size_t>(token.start), static_cast<size_t>(token.length)), "",
              (token.flags & kTokenEmptyElement) != 0};
        if (kind == TokenKind::StartTag || kind == TokenKind::EndTag ||
            kind == TokenKind::ProcessingInstruction) {
            t.name = text.substr(static_cast<size_t>(scanner.nameStart),
                                 static_cast<size_t>(scanner.nameEnd - scanner.nameStart + 1));
        }
        out.push_back(t);
    }
    if (errors != nullptr) {
        *errors = token.errors;
    }
    return out;
}

struct SingleCase {
    const char* input;
    TokenKind kind;
    int length;
    const char* name;
    bool empty;
    const char* errors;
};

class FirstToken : public ::testing::TestWithParam<SingleCase> {};

TEST_P(FirstToken, KindLengthNameAndErrors) {
    const SingleCase& c = GetParam();
    std::string errors;
    const std::vector<Tok> tokens = Scan(c.input, &errors);
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens[0].kind, c.kind);
    EXPECT_EQ(static_cast<int>(tokens[0].text.size()), c.length);
    EXPECT_EQ(tokens[0].name, c.name);
    EXPECT_EQ(tokens[0].empty, c.empty);
    EXPECT_EQ(errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    TrickyInputs, FirstToken,
    ::testing::Values(
        SingleCase{"<a/>", TokenKind::StartTag, 4, "a", true, ""},
        SingleCase{"<a>", TokenKind::StartTag, 3, "a", false, ""},
        // "/" at the end of an unquoted value belongs to the value.
        SingleCase{"<a x=1/>", TokenKind::StartTag, 8, "a", false, ""},
        // ... unless whitespace or a quote comes before it there.
        SingleCase{"<a x= />", TokenKind::StartTag, 8, "a", true, ""},
        SingleCase{"<a x=1'/>", TokenKind::StartTag, 9, "a", true, ""},
        SingleCase{"<a x=1\"/>", TokenKind::StartTag, 9, "a", true, ""},
        SingleCase{"<a x='1'/>", TokenKind::StartTag, 10, "a", true, ""},
        SingleCase{"<a x=1 />", TokenKind::StartTag, 9, "a", true, ""},
        SingleCase{"<a x=\"1\"/>", TokenKind::StartTag, 10, "a", true, ""},
        // A quoted ">" does not end the tag.
        SingleCase{"<a t='>'>", TokenKind::StartTag, 9, "a", false, ""},
        SingleCase{"<a t=\"x>y\" u='>'>z", TokenKind::StartTag, 17, "a", false, ""},
        SingleCase{"<ab\tc='1'>", TokenKind::StartTag, 10, "ab", false, ""},
        SingleCase{"</end >", TokenKind::EndTag, 7, "end", false, ""},
        SingleCase{"<!---->", TokenKind::Comment, 7, "", false, ""},
        SingleCase{"<!-- a > b -- c -->x", TokenKind::Comment, 19, "", false, ""},
        SingleCase{"<!-x>", TokenKind::Error, 5, "", false, "<comment_tag_syntax offset=\"0\"/>"},
        SingleCase{"<![CDATA[a<b>]]>", TokenKind::CDataSection, 16, "", false, ""},
        SingleCase{"<![X[a]]>", TokenKind::Error, 9, "", false,
                   "<cdata_section_syntax offset=\"0\"/>"},
        SingleCase{"<!DOCTYPE r [<!ELEMENT r ANY>]>", TokenKind::DocumentType, 31, "", false, ""},
        SingleCase{"<!DOCTYPE r [<!ENTITY e 'a>b'><!-- > --><?pi > ?>]><r/>",
                   TokenKind::DocumentType, 51, "", false, ""},
        SingleCase{"<?xml version='1.0'?>", TokenKind::ProcessingInstruction, 21, "xml", false, ""},
        SingleCase{"<?p a > b ?>", TokenKind::ProcessingInstruction, 12, "p", false, ""},
        SingleCase{"  <a>", TokenKind::Whitespace, 2, "", false, ""},
        SingleCase{"a b<x/>", TokenKind::Text, 3, "", false, ""},
        SingleCase{" a b<x/>", TokenKind::Text, 4, "", false, ""},
        SingleCase{"a>b", TokenKind::Text, 2, "", false, ""},
        SingleCase{"<1>", TokenKind::Error, 3, "", false, "<first_tag_syntax offset=\"0\"/>"},
        SingleCase{"<>", TokenKind::Error, 2, "", false, "<first_tag_syntax offset=\"0\"/>"},
        SingleCase{"<!x a>", TokenKind::Error, 6, "", false,
                   "<exclamation_tag_syntax offset=\"0\"/>"},
        SingleCase{"<abc", TokenKind::Error, 4, "", false,
                   "<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>"},
        SingleCase{"</abc", TokenKind::Error, 5, "", false,
                   "<unterminated_tag_syntax type=\"end_tag\" offset=\"0\"/>"},
        SingleCase{"<!-- x", TokenKind::Error, 6, "", false,
                   "<unterminated_tag_syntax type=\"comment\" offset=\"0\"/>"},
        SingleCase{"<![CDATA[x", TokenKind::Error, 10, "", false,
                   "<unterminated_tag_syntax type=\"cdata_section\" offset=\"0\"/>"},
        SingleCase{"<?pi x", TokenKind::Error, 6, "", false,
                   "<unterminated_tag_syntax type=\"processing_instruction\" offset=\"0\"/>"},
        SingleCase{"<!DOCTYPE r [<!-- c -->", TokenKind::Error, 23, "", false,
                   "<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>"},
        SingleCase{"<", TokenKind::Error, 1, "", false,
                   "<unterminated_tag_syntax type=\"tag\" offset=\"0\"/>"},
        SingleCase{"<a t='>", TokenKind::Error, 7, "", false,
                   "<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>"},
        // Inside an internal subset the last tag bytes carry over from one
        // nested tag to the next: after "x=" the error's "=" opens no value,
        // so its quoted ">" ends it; after "x=y" it does not.
        SingleCase{"<!DOCTYPE r [<a x=><1=\"a>b\">]><r/>", TokenKind::DocumentType, 28, "", false,
                   "<first_tag_syntax offset=\"0\"/>"},
        SingleCase{"<!DOCTYPE r [<a x=y><1=\"a>b\">]><r/>", TokenKind::DocumentType, 31, "", false,
                   "<first_tag_syntax offset=\"0\"/>"},
        // A nested empty-element tag marks the declaration's token.
        SingleCase{"<!DOCTYPE r [<a/>]>", TokenKind::DocumentType, 19, "", true, ""},
        // Terminators may not overlap their openers.
        SingleCase{"<!-->x-->", TokenKind::Comment, 9, "", false, ""},
        SingleCase{"<?>x?>", TokenKind::ProcessingInstruction, 6, "", false, ""},
        SingleCase{"<![C]]>", TokenKind::CDataSection, 7, "", false, ""}));

TEST(Tokenizer, EmptyTextAndScannerAtEndGiveEndOfText) {
    EXPECT_TRUE(Scan("").empty());
    MarkupScanner scanner("<a/>", 0);
    MarkupToken token;
    scanner.pos = 4;
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::EndOfText);
    EXPECT_EQ(token.length, 0);
    EXPECT_EQ(scanner.pos, 4);
}

TEST(Tokenizer, ErrorTokenEndsBeforeNextMarkup) {
    const std::vector<Tok> tokens = Scan("<!x a<b/>");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].kind, TokenKind::Error);
    EXPECT_EQ(tokens[0].text, "<!x a");
    EXPECT_EQ(tokens[1].kind, TokenKind::StartTag);
    EXPECT_EQ(tokens[1].name, "b");
}

TEST(Tokenizer, SequenceOfADocument) {
    const std::vector<Tok> tokens =
        Scan("<?xml version=\"1.0\"?>\n<r a='1'>t&amp;<![CDATA[c]]></r>");
    const std::vector<TokenKind> kinds = {TokenKind::ProcessingInstruction,
                                          TokenKind::Whitespace,
                                          TokenKind::StartTag,
                                          TokenKind::Text,
                                          TokenKind::CDataSection,
                                          TokenKind::EndTag};
    ASSERT_EQ(tokens.size(), kinds.size());
    for (size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(tokens[i].kind, kinds[i]) << i;
    }
    EXPECT_EQ(tokens[3].text, "t&amp;");
    EXPECT_EQ(tokens[5].name, "r");
}

TEST(Tokenizer, ErrorsInsideDoctypeAreRecordedAndTheDeclarationGoesOn) {
    std::string errors;
    const std::vector<Tok> tokens = Scan("<!DOCTYPE r [<!X y><!ELEMENT r ANY>]><r/>", &errors);
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].kind, TokenKind::DocumentType);
    EXPECT_EQ(tokens[0].text, "<!DOCTYPE r [<!X y><!ELEMENT r ANY>]>");
    EXPECT_EQ(errors, "<doctype_tag_syntax offset=\"0\"/>");
}

TEST(Tokenizer, ScannerLimitIsNeverCrossed) {
    // The limit cuts "<a>" short: an unterminated tag, not a read past it.
    const std::string text = "x<a>";
    MarkupScanner scanner(text.c_str(), 0, 3);
    MarkupToken token;
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::Text);
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::Error);
    EXPECT_EQ(token.start + token.length, 3);
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::EndOfText);
}

TEST(Tokenizer, ZeroByteEndsTheText) {
    const std::string text("ab\0<c>", 6);
    MarkupScanner scanner(text.c_str(), 0, static_cast<int32_t>(text.size()));
    MarkupToken token;
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::Text);
    EXPECT_EQ(token.length, 2);
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::EndOfText);
}

}  // namespace

namespace {

TEST(Tokenizer, TrailByteLikeMarkupInADoubleByteCodePage) {
    if (platform::AnsiCharLengths()[0x81] != 2) {
        GTEST_SKIP() << "needs a double-byte ANSI code page";
    }
    // 0x81 leads a two-byte character whose trail byte is "<".
    const std::vector<Tok> tokens = Scan("a\x81<b<c t='\x81''/>");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].kind, TokenKind::Text);
    EXPECT_EQ(tokens[0].text, "a\x81<b");
    EXPECT_EQ(tokens[1].kind, TokenKind::StartTag);
    EXPECT_TRUE(tokens[1].empty);
}

TEST(Tokenizer, LeadByteAtTheEndDoesNotStepOverIt) {
    const std::string text = "ab\x81";
    MarkupScanner scanner(text.c_str(), 0, static_cast<int32_t>(text.size()));
    MarkupToken token;
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::Text);
    EXPECT_EQ(scanner.pos, 3);
    EXPECT_EQ(ScanToken(scanner, token), TokenKind::EndOfText);
}

}  // namespace
