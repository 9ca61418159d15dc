// Loading files: byte-order marks, declared encodings, UTF-8 detection, zero
// removal, byte swapping, conversion into the ANSI code page, failures, and
// the exact result report of each. Every file is written by the test itself.
//
// The document's character set is the ANSI code page: UTF-8 (65001) on
// POSIX, 1252 under a default Wine, 936 under Wine with a Chinese locale.
// Expectations that depend on it are given for 65001 and 1252; the cases for
// 936 run only there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "../support/temp_folder.h"
#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/text_file.h"
#include "platform/ansi.h"
#include "platform/file_read.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test (unique across processes, as test
// programs of other builds may run at the same time), removed afterwards.
class LoadFileTest : public ::testing::Test {
  protected:
    // Writes bytes to a file of the test's folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path path = folder_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    testing_support::TempFolder temp_;
    const fs::path folder_ = temp_.path();
};

int Ansi() {
    return platform::AnsiCodePage();
}

// Picks the expectation for the running ANSI code page; skips the test on a
// code page for which none is given.
#define FOR_ANSI(utf8Value, cp1252Value) \
    [&]() { return Ansi() == 65001 ? std::string(utf8Value) : std::string(cp1252Value); }()
#define REQUIRE_KNOWN_ANSI()                                            \
    if (Ansi() != 65001 && Ansi() != 1252) {                            \
        GTEST_SKIP() << "no expectation for ANSI code page " << Ansi(); \
    }

std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string Utf16Be(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

const std::string kBom8 = "\xEF\xBB\xBF";

// The read and converted_to entries of a file of `read` units that became `converted` bytes.
std::string Read(const std::string& encoding, size_t read) {
    return "<read encoding=\"" + encoding + "\" length=\"" + std::to_string(read) + "\"/>";
}
std::string Converted(size_t converted) {
    return "<converted_to encoding=\"\" length=\"" + std::to_string(converted) + "\"/>";
}

TEST(FindDeclaredEncoding, ReadsTheXmlDeclarationAtTheStartOrAnHtmlMetaCharset) {
    const char* const meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    const struct {
        std::string text;
        const char* encoding;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?><r/>", "GB2312"},
        {"<?xml version='1.0' encoding='Windows-1252' standalone='yes'?>", "Windows-1252"},
        {"<?XML ENCODING=\"koi8-r\"?>", "koi8-r"},
        {"<?xml version=\"1.0\"?><r/>", ""},
        {" <?xml version=\"1.0\" encoding=\"GB2312\"?>", ""},
        {"<?xml-stylesheet encoding=\"a\"?><?xml encoding=\"b\"?>", ""},
        {"<?xml version=\"1.0\" encoding=\"a", ""},
        {"<r><?xml encoding=\"a\"?></r>", ""},
        {"<html><head>" + std::string(meta) + "windows-1252\"></head></html>", "windows-1252"},
        {"<!DOCTYPE html><html><HEAD><META HTTP-EQUIV=\"content-type\" "
         "CONTENT=\"text/html;charset = big5 \">",
         "big5"},
        {"<html><head><meta charset=\"utf-8\"><title>t</title>" + std::string(meta) + "koi8-r\">",
         "koi8-r"},
        {"<html><head><meta http-equiv=\"Content-Type\">" + std::string(meta) + "x\">", ""},
        {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html\">" +
             std::string(meta) + "x\">",
         ""},
        {"<html><head></head><body>" + std::string(meta) + "x\">", ""},
        {"<root>" + std::string(meta) + "x\"/></root>", ""},
        {"<html><meta http-equiv=\"Content-Type\" content=\"charset; x = y\">", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindDeclaredEncoding(c.text), c.encoding) << c.text;
    }
}

TEST_F(LoadFileTest, EmptyFileReadsNothingAndHasNoRoot) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadFile(Write("empty.xml", "").c_str()));
    EXPECT_EQ(doc.GetResultReport(), "<read encoding=\"\" length=\"0\"/>");
    EXPECT_EQ(doc.GetDocText(), "");
    EXPECT_EQ(doc.GetOutcome().status, XmlStatus::kEmptyText);
}

TEST_F(LoadFileTest, MarkOnly) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadFile(Write("bom.xml", kBom8).c_str()));
    EXPECT_EQ(doc.GetResultReport(), "<bom/><read encoding=\"UTF-8\" length=\"0\"/>");
    EXPECT_EQ(doc.GetDocText(), "");
    EXPECT_EQ(doc.GetFlags() & kFileMarkBits, kFileMarkUtf8);
}

TEST_F(LoadFileTest, Utf8WithMarkIsConvertedUnlessTheAnsiCodePageIsUtf8) {
    REQUIRE_KNOWN_ANSI();
    const std::string body = "<r a=\"caf\xC3\xA9\">\xE2\x82\xAC</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("utf8bom.xml", kBom8 + body).c_str()));
    const std::string read = "<bom/>" + Read("UTF-8", body.size());
    EXPECT_EQ(doc.GetResultReport(), FOR_ANSI(read, read + Converted(body.size() - 3)));
    EXPECT_EQ(doc.GetDocText(), FOR_ANSI(body, "<r a=\"caf\xE9\">\x80</r>"));
    ASSERT_TRUE(doc.FindElement("r"));
    EXPECT_EQ(doc.GetAttribute("a"), FOR_ANSI("caf\xC3\xA9", "caf\xE9"));
    EXPECT_EQ(doc.GetFlags() & kFileMarkBits, kFileMarkUtf8);
}

TEST_F(LoadFileTest, Utf8WithoutMarkStartingWithTagIsTakenAsUtf8) {
    REQUIRE_KNOWN_ANSI();
    const std::string body = "<r>caf\xC3\xA9</r>";  // 12 bytes
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("utf8.xml", body).c_str()));
    EXPECT_EQ(doc.GetResultReport(), FOR_ANSI("<read encoding=\"UTF-8\" length=\"12\"/>",
                                              "<read encoding=\"UTF-8\" length=\"12\"/>"
                                              "<converted_to encoding=\"\" length=\"11\"/>"));
    EXPECT_EQ(doc.GetDocText(), FOR_ANSI(body, "<r>caf\xE9</r>"));
    EXPECT_EQ(doc.GetFlags() & kFileMarkBits, 0u);
}

TEST_F(LoadFileTest, Utf8WithoutMarkOrTagAtTheStartIsDetected) {
    REQUIRE_KNOWN_ANSI();
    const std::string decl = " <?xml version=\"1.0\" encoding=\"koi8-r\"?>";
    const std::string body = decl + "<r>\xC3\xA9</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("detect.xml", body).c_str()));
    // The declaration is not at offset 0, so it does not count.
    const std::string read = Read("UTF-8", body.size());
    EXPECT_EQ(doc.GetResultReport(),
              FOR_ANSI(read + Converted(body.size()) + "<utf8_detection/>",
                       read + Converted(body.size() - 1) + "<utf8_detection/>"));
    EXPECT_EQ(doc.GetDocText(), decl + FOR_ANSI("<r>\xC3\xA9</r>", "<r>\xE9</r>"));
}

// Detected UTF-8 is converted even into a UTF-8 code page: sequences that
// the UTF-8 check lets pass (overlong forms, surrogates) become the replacement
// character instead of staying in the text.
TEST_F(LoadFileTest, DetectedUtf8IsConvertedEvenIntoUtf8) {
    if (Ansi() != 65001) {
        GTEST_SKIP() << "needs the UTF-8 ANSI code page";
    }
    const std::string body = " <r>\xC0\xAF\xED\xA0\x80</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("overlong.xml", body).c_str()));
    const std::string& text = doc.GetDocText();
    EXPECT_EQ(text.find("\xC0\xAF"), std::string::npos);
    EXPECT_EQ(text.find("\xED\xA0\x80"), std::string::npos);
    EXPECT_NE(text.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(doc.GetResultReport(),
              Read("UTF-8", body.size()) + Converted(text.size()) + "<utf8_detection/>");
}

TEST_F(LoadFileTest, TextThatIsNotUtf8IsKeptAsItIs) {
    REQUIRE_KNOWN_ANSI();  // in a double-byte code page 0xE9 would begin a character
    const std::string body = "\n<r>caf\xE9</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("latin.xml", body).c_str()));
    EXPECT_EQ(doc.GetResultReport(), "<read encoding=\"\" length=\"12\"/><utf8_detection/>");
    EXPECT_EQ(doc.GetDocText(), body);
}

TEST_F(LoadFileTest, Utf16LittleEndianWithMark) {
    REQUIRE_KNOWN_ANSI();
    const std::u16string body = u"<r>\u00E9\u20AC</r>";  // 9 units
    for (const std::string tail : {"", "\x41"}) {        // an odd last byte is left out
        CXmlDocument doc;
        EXPECT_TRUE(doc.LoadFile(Write("le.xml", "\xFF\xFE" + Utf16Le(body) + tail).c_str()));
        EXPECT_EQ(doc.GetResultReport(), FOR_ANSI("<bom/><read encoding=\"UTF-16LE\" length=\"9\"/>"
                                                  "<converted_to encoding=\"\" length=\"12\"/>",
                                                  "<bom/><read encoding=\"UTF-16LE\" length=\"9\"/>"
                                                  "<converted_to encoding=\"\" length=\"9\"/>"));
        EXPECT_EQ(doc.GetDocText(), FOR_ANSI("<r>\xC3\xA9\xE2\x82\xAC</r>", "<r>\xE9\x80</r>"));
        EXPECT_EQ(doc.GetFlags() & kFileMarkBits, kFileMarkUtf16Le);
    }
}

TEST_F(LoadFileTest, Utf16BigEndianWithMarkIsSwapped) {
    REQUIRE_KNOWN_ANSI();
    const std::u16string body = u"<r>\u00E9\u20AC</r>";
    for (const std::string tail : {"", "\x41"}) {
        CXmlDocument doc;
        EXPECT_TRUE(doc.LoadFile(Write("be.xml", "\xFE\xFF" + Utf16Be(body) + tail).c_str()));
        EXPECT_EQ(doc.GetResultReport(),
                  FOR_ANSI("<bom/><read encoding=\"UTF-16BE\" length=\"9\"/><endian_swap/>"
                           "<converted_to encoding=\"\" length=\"12\"/>",
                           "<bom/><read encoding=\"UTF-16BE\" length=\"9\"/><endian_swap/>"
                           "<converted_to encoding=\"\" length=\"9\"/>"));
        EXPECT_EQ(doc.GetDocText(), FOR_ANSI("<r>\xC3\xA9\xE2\x82\xAC</r>", "<r>\xE9\x80</r>"));
        EXPECT_EQ(doc.GetFlags() & kFileMarkBits, kFileMarkUtf16Be);
    }
}

TEST_F(LoadFileTest, Utf16WithZeroUnitsHasThemRemoved) {
    REQUIRE_KNOWN_ANSI();
    const std::u16string body(u"<r>a\0b</r>", 10);
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("le0.xml", "\xFF\xFE" + Utf16Le(body)).c_str()));
    EXPECT_EQ(doc.GetResultReport(),
              "<bom/><read encoding=\"UTF-16LE\" length=\"10\"/><nulls_removed count=\"1\"/>"
              "<converted_to encoding=\"\" length=\"9\"/>");
    EXPECT_EQ(doc.GetDocText(), "<r>ab</r>");
}

TEST_F(LoadFileTest, Utf16LittleEndianWithoutMarkIsReadAsEightBitText) {
    REQUIRE_KNOWN_ANSI();
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("le_nobom.xml", Utf16Le(u"<r>ab</r>")).c_str()));
    EXPECT_EQ(doc.GetResultReport(),
              FOR_ANSI("<read encoding=\"UTF-8\" length=\"18\"/><nulls_removed count=\"9\"/>",
                       "<read encoding=\"UTF-8\" length=\"18\"/><nulls_removed count=\"9\"/>"
                       "<converted_to encoding=\"\" length=\"9\"/>"));
    EXPECT_EQ(doc.GetDocText(), "<r>ab</r>");
}

TEST_F(LoadFileTest, DeclaredWindows1252IsConvertedUnlessItIsTheAnsiCodePage) {
    REQUIRE_KNOWN_ANSI();
    const std::string decl = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>";
    const std::string body = decl + "<r>caf\xE9 \x80</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("cp1252.xml", body).c_str()));
    const std::string read = Read("windows-1252", body.size());
    EXPECT_EQ(doc.GetResultReport(), FOR_ANSI(read + Converted(body.size() + 3), read));
    EXPECT_EQ(doc.GetDocText(), FOR_ANSI(decl + "<r>caf\xC3\xA9 \xE2\x82\xAC</r>", body));
    ASSERT_TRUE(doc.FindElement("r"));
    EXPECT_EQ(doc.GetElementText(), FOR_ANSI("caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"));
}

TEST_F(LoadFileTest, HtmlMetaCharsetNamesTheEncoding) {
    REQUIRE_KNOWN_ANSI();
    const std::string head =
        "<html><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=windows-1252\"/></head>";
    const std::string body = head + "<body>\xE9</body></html>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("page.html", body).c_str()));
    const std::string read = Read("windows-1252", body.size());
    EXPECT_EQ(doc.GetResultReport(), FOR_ANSI(read + Converted(body.size() + 1), read));
    EXPECT_EQ(doc.GetDocText(), FOR_ANSI(head + "<body>\xC3\xA9</body></html>", body));
}

TEST_F(LoadFileTest, ZeroBytesInsideEightBitTextAreRemovedAndCounted) {
    REQUIRE_KNOWN_ANSI();
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("zeros.xml", std::string("<r>a\0b\0</r>", 11)).c_str()));
    EXPECT_EQ(doc.GetResultReport(),
              FOR_ANSI("<read encoding=\"UTF-8\" length=\"11\"/><nulls_removed count=\"2\"/>",
                       "<read encoding=\"UTF-8\" length=\"11\"/><nulls_removed count=\"2\"/>"
                       "<converted_to encoding=\"\" length=\"9\"/>"));
    EXPECT_EQ(doc.GetDocText(), "<r>ab</r>");
}

// Detection looks only at the bytes that are left after zero removal: the
// stale end of the block must not make valid UTF-8 look broken.
TEST_F(LoadFileTest, DetectionAfterZeroRemovalTestsOnlyTheKeptBytes) {
    REQUIRE_KNOWN_ANSI();
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("zeros8.xml", std::string(" <r/>\0\xC3\xA9", 8)).c_str()));
    EXPECT_EQ(doc.GetResultReport(),
              FOR_ANSI("<read encoding=\"UTF-8\" length=\"8\"/><nulls_removed count=\"1\"/>"
                       "<converted_to encoding=\"\" length=\"7\"/><utf8_detection/>",
                       "<read encoding=\"UTF-8\" length=\"8\"/><nulls_removed count=\"1\"/>"
                       "<converted_to encoding=\"\" length=\"6\"/><utf8_detection/>"));
    EXPECT_EQ(doc.GetDocText(), FOR_ANSI(" <r/>\xC3\xA9", " <r/>\xE9"));
}

TEST_F(LoadFileTest, MissingFileReportsTheSystemError) {
    CXmlDocument doc;
    const std::string path = (folder_ / "missing.xml").string();
    EXPECT_FALSE(doc.LoadFile(path.c_str()));
    std::string message = platform::SystemErrorText(2);
    message = message.substr(0, message.find_first_of("\r\n"));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(doc.GetResultReport(), "<file_error msg=\"" + message + "\" n=\"2\"/>");
    EXPECT_EQ(doc.GetDocText(), "");
    EXPECT_EQ(doc.GetOutcome().status, XmlStatus::kFileNotRead);
    EXPECT_EQ(doc.GetOutcome().systemError, 2);
    EXPECT_TRUE(doc.GetProblems().empty());
}

TEST_F(LoadFileTest, AFailedLoadLeavesAnEmptyDocument) {
    CXmlDocument doc("<a x='1'><b/></a>");
    EXPECT_FALSE(doc.LoadFile((folder_ / "missing.xml").string().c_str()));
    EXPECT_EQ(doc.GetDocText(), "");
    EXPECT_EQ(DocumentInside::EntryCount(doc), 1);
    EXPECT_FALSE(doc.FindElement("a"));
    EXPECT_EQ(doc.GetAttribute("x"), "");
}

TEST_F(LoadFileTest, AFolderCannotBeLoaded) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadFile(folder_.string().c_str()));
    EXPECT_EQ(doc.GetResultReport().rfind("<file_error msg=\"", 0), 0u) << doc.GetResultReport();
    EXPECT_EQ(doc.GetDocText(), "");
}

TEST_F(LoadFileTest, AFifoOrADeviceIsRefusedWithoutBlocking) {
#ifdef _WIN32
    const std::vector<std::string> paths = {"NUL"};
#else
    // A FIFO with no writer would block an open for reading forever.
    const std::string fifo = (folder_ / "config.xml").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> paths = {fifo, "/dev/null", "/dev/zero"};
#endif
    for (const std::string& path : paths) {
        CXmlDocument doc;
        EXPECT_FALSE(doc.LoadFile(path.c_str())) << path;
        EXPECT_EQ(doc.GetResultReport().rfind("<file_error msg=\"", 0), 0u)
            << path << ": " << doc.GetResultReport();
    }
}

TEST_F(LoadFileTest, ACharacterTheAnsiCodePageLacksIsALoss) {
    const std::u16string body = u"<r>\u4E2D</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("cjk.xml", "\xFF\xFE" + Utf16Le(body)).c_str()));
    if (Ansi() == 65001 || Ansi() == 936) {
        // The document's character set holds it: nothing is lost.
        EXPECT_EQ(doc.GetResultReport().find("conversion_loss"), std::string::npos);
        return;
    }
    EXPECT_EQ(doc.GetResultReport(),
              "<bom/><read encoding=\"UTF-16LE\" length=\"8\"/>"
              "<converted_to encoding=\"\" length=\"8\"/><conversion_loss/>");
    EXPECT_EQ(doc.GetDocText(), "<r>?</r>");
}

TEST_F(LoadFileTest, DeclaredWideEncodingInEightBitTextIsTakenAsUtf8) {
    REQUIRE_KNOWN_ANSI();
    for (const char* name : {"UTF-32", "utf-16", "UTF-16BE", "utf-32le"}) {
        const std::string body =
            std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?><r>\xC3\xA9</r>";
        CXmlDocument doc;
        EXPECT_TRUE(doc.LoadFile(Write("wide.xml", body).c_str())) << name;
        const std::string read = Read("UTF-8", body.size());
        EXPECT_EQ(doc.GetResultReport(), FOR_ANSI(read, read + Converted(body.size() - 1))) << name;
    }
}

TEST_F(LoadFileTest, UnknownDeclaredEncodingKeepsTheBytes) {
    const std::string body = "<?xml version=\"1.0\" encoding=\"x-nonesuch\"?><r>\xC3\xA9</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("unknown.xml", body).c_str()));
    EXPECT_EQ(doc.GetResultReport(), Read("x-nonesuch", body.size()));
    EXPECT_EQ(doc.GetDocText(), body);
}

TEST_F(LoadFileTest, ParserEntriesFollowTheFileEntries) {
    REQUIRE_KNOWN_ANSI();
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadFile(Write("two.xml", "<a/><b/>").c_str()));
    EXPECT_EQ(doc.GetResultReport(),
              FOR_ANSI("<read encoding=\"UTF-8\" length=\"8\"/><root_has_sibling/>",
                       "<read encoding=\"UTF-8\" length=\"8\"/>"
                       "<converted_to encoding=\"\" length=\"8\"/><root_has_sibling/>"));
}

TEST_F(LoadFileTest, ADocumentAttachedToAFileIsNotTouched) {
    CXmlDocument doc("<a/>");
    DocumentInside::SetFlags(doc, doc.GetFlags() | kDocReadingFile);
    EXPECT_FALSE(doc.LoadFile(Write("a.xml", "<b/>").c_str()));
    EXPECT_EQ(doc.GetDocText(), "<a/>");
}

TEST_F(LoadFileTest, LoadTextFromFileGivesFlagsAndEncoding) {
    const std::string path = Write("le.xml", "\xFF\xFE" + Utf16Le(u"<r/>"));
    std::string text;
    std::string report;
    uint32_t flags = kDocIgnoreCase | kFileMarkUtf16Be;  // a stale mark bit is cleared
    std::string encoding;
    EXPECT_TRUE(LoadTextFromFile(path.c_str(), text, &report, &flags, &encoding));
    EXPECT_EQ(text, "<r/>");
    EXPECT_EQ(flags, kDocIgnoreCase | kFileMarkUtf16Le);
    EXPECT_EQ(encoding, "UTF-16LE");

    // A caller may force the encoding of a file without a mark.
    const std::string latin = Write("latin.xml", "<r>\xE9</r>");
    encoding = "windows-1252";
    EXPECT_TRUE(LoadTextFromFile(latin.c_str(), text, nullptr, nullptr, &encoding));
    EXPECT_EQ(encoding, "windows-1252");
    const std::string eAcute = Ansi() == 65001 ? "\xC3\xA9" : Ansi() == 936 ? "\xA8\xA6" : "\xE9";
    EXPECT_EQ(text, "<r>" + eAcute + "</r>");

    // A forced encoding of wider units is not applied to 8-bit text.
    encoding = "UTF-16";
    EXPECT_TRUE(LoadTextFromFile(Write("ascii.xml", "<r>abc</r>").c_str(), text, nullptr, nullptr,
                                 &encoding));
    EXPECT_EQ(encoding, "UTF-8");
    EXPECT_EQ(text, "<r>abc</r>");
}

TEST_F(LoadFileTest, GbkDeclarationOnAChineseSystemIsNotConverted) {
    if (Ansi() != 936) {
        GTEST_SKIP() << "needs ANSI code page 936";
    }
    const std::string body = "<?xml version=\"1.0\" encoding=\"GB2312\"?><r>\xD6\xD0\xCE\xC4</r>";
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(Write("gb.xml", body).c_str()));
    EXPECT_EQ(doc.GetResultReport(), Read("GB2312", body.size()));
    EXPECT_EQ(doc.GetDocText(), body);
    ASSERT_TRUE(doc.FindElement("r"));
    EXPECT_EQ(doc.GetElementText(), "\xD6\xD0\xCE\xC4");
}

TEST_F(LoadFileTest, Utf8OnAChineseSystemIsConvertedToGbk) {
    if (Ansi() != 936) {
        GTEST_SKIP() << "needs ANSI code page 936";
    }
    CXmlDocument doc;
    // U+4E2D U+6587 and U+0E01 (Thai, not in GBK).
    EXPECT_TRUE(doc.LoadFile(
        Write("zh.xml", kBom8 + "<r>\xE4\xB8\xAD\xE6\x96\x87\xE0\xB8\x81</r>").c_str()));
    EXPECT_EQ(doc.GetResultReport(),
              "<bom/><read encoding=\"UTF-8\" length=\"16\"/>"
              "<converted_to encoding=\"\" length=\"12\"/><conversion_loss/>");
    EXPECT_EQ(doc.GetDocText(), "<r>\xD6\xD0\xCE\xC4?</r>");
}

}  // namespace
