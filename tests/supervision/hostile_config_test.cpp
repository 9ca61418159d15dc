// config.xml files built to hurt: huge attributes, thousands of result
// folders, deep nesting, a file of 100 MB, UTF-16 without a mark. Each has a
// defined outcome, and none may crash, hang or write past a record.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/fake_system_facts.h"
#include "../support/temp_folder.h"
#include "markup/encodings.h"
#include "supervision/config_walk.h"

namespace {

using testing_support::TempFolder;

const SystemFacts& kFacts = testing_support::PosixFacts();
const std::string kSep(1, kFacts.pathSeparator);

using Apps = std::vector<std::unique_ptr<AppConfig>>;

Apps WalkFile(const std::string& path) {
    Apps apps;
    const int count = WalkConfigFile(
        path, kFacts, [&](std::unique_ptr<AppConfig> app) { apps.push_back(std::move(app)); });
    EXPECT_EQ(count, static_cast<int>(apps.size()));
    return apps;
}

std::string WriteConfig(const TempFolder& folder, const std::string& bytes) {
    const std::string path = (folder.path() / "config.xml").string();
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

Apps WalkBytes(const std::string& bytes) {
    TempFolder folder;
    return WalkFile(WriteConfig(folder, bytes));
}

const std::string kSocket = "<socket ip=\"127.0.0.1\" port=\"6001\"/>";

TEST(HostileConfig, HugeAttributeValuesAreKeptWhole) {
    // Megabytes per value, each start tag below the engine's start-tag limit.
    const std::string huge(1024 * 1024, 'n');
    const std::string digits(100000, '9');
    Apps apps =
        WalkBytes("<config><app name=\"" + huge + "\" path=\"" + huge + "\"><socket ip=\"" + huge +
                  "\" port=\"" + digits + "\"/><subApp name=\"" + huge + "\" startPath=\"" + huge +
                  "\" stopPath=\"" + huge + "\"/></app></config>");
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]->name, huge);
    EXPECT_EQ(apps[0]->path, huge);
    EXPECT_EQ(apps[0]->subAppName, huge);
    EXPECT_EQ(apps[0]->startPath, huge);
    EXPECT_EQ(apps[0]->stopPath, huge);
    EXPECT_EQ(apps[0]->ip, huge);
    // A port of 100,000 digits is held at the 32-bit maximum; the address is
    // not a dotted IPv4 address and stays 0.0.0.0.
    EXPECT_EQ(apps[0]->port, 2147483647);
    EXPECT_EQ(apps[0]->address.address, 0u);
}

TEST(HostileConfig, StartTagBeyondTheEngineLimitStartsNothing) {
    // A start tag longer than 4,194,303 bytes does not fit the element
    // index: the file is not well-formed, so no application starts at all.
    const std::string huge(5 * 1024 * 1024, 'n');
    EXPECT_TRUE(
        WalkBytes("<config><app name=\"ok\"/><app name=\"" + huge + "\"/></config>").empty());
}

TEST(HostileConfig, HugeFolderTextIsNormalisedOnce) {
    const std::string folder(4 * 1024 * 1024, 'f');
    Apps apps =
        WalkBytes("<config><app name=\"a\">" + kSocket + "<subApp><fileMonitor>" + folder +
                  "</fileMonitor><picMonitor>" + folder + "</picMonitor></subApp></app></config>");
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]->fileMonitor[0], folder + kSep);
    EXPECT_EQ(apps[0]->fileMonitor[1], "");
    EXPECT_EQ(apps[0]->picMonitor, folder + kSep);
}

TEST(HostileConfig, ThousandsOfResultFoldersKeepTheFirstSixteen) {
    std::string text = "<config><app name=\"a\">" + kSocket + "<subApp>";
    for (int i = 0; i < 5000; ++i) {
        text += "<fileMonitor>d" + std::to_string(i) + "</fileMonitor>";
    }
    text += "<picMonitor>p</picMonitor></subApp></app><app name=\"b\"/></config>";
    Apps apps = WalkBytes(text);
    ASSERT_EQ(apps.size(), 2u);
    for (int i = 0; i < kMaxFileMonitors; ++i) {
        EXPECT_EQ(apps[0]->fileMonitor[static_cast<size_t>(i)], "d" + std::to_string(i) + kSep);
    }
    // The folders after the sixteenth are read over: the picture folder and
    // the next application are still found.
    EXPECT_EQ(apps[0]->picMonitor, "p" + kSep);
    EXPECT_EQ(apps[1]->name, "b");
}

TEST(HostileConfig, ThousandsOfApplicationsStartTheFirstTwenty) {
    std::string text = "<config>";
    for (int i = 0; i < 3000; ++i) {
        text += "<app name=\"a" + std::to_string(i) + "\">" + kSocket + "</app>";
    }
    text += "</config>";
    Apps apps = WalkBytes(text);
    ASSERT_EQ(apps.size(), static_cast<size_t>(kMaxApplications));
    EXPECT_EQ(apps.back()->name, "a19");
}

std::string Nest(const std::string& name, int depth, const std::string& inside) {
    std::string text;
    text.reserve(static_cast<size_t>(depth) * (2 * name.size() + 5) + inside.size());
    for (int i = 0; i < depth; ++i) {
        text += "<" + name + ">";
    }
    text += inside;
    for (int i = 0; i < depth; ++i) {
        text += "</" + name + ">";
    }
    return text;
}

TEST(HostileConfig, DeepNestingIsWalkedWithoutRecursionLimits) {
    constexpr int kDepth = 10000;
    struct Case {
        const char* what;
        std::string text;
        size_t apps;
        const char* picMonitor;
    };
    const Case cases[] = {
        // Deep elements beside the ones read are skipped.
        {"deep sibling inside app",
         "<config><app name=\"a\">" + Nest("x", kDepth, "<socket/>") + kSocket +
             "<subApp><picMonitor>p</picMonitor></subApp></app></config>",
         1, "p"},
        {"deep inside subApp",
         "<config><app name=\"a\">" + kSocket + "<subApp>" + Nest("fileMonitor", kDepth, "x") +
             "<picMonitor>q</picMonitor></subApp></app></config>",
         1, "q"},
        // The config element itself buried deep is not the top element.
        {"config buried", Nest("x", kDepth, "<config><app name=\"a\"/></config>"), 0, ""},
        // The nesting level has 16 bits: deeper than that is not well-formed,
        // and nothing starts.
        {"beyond the level limit",
         "<config><app name=\"a\">" + kSocket + Nest("x", 70000, "") + "</app></config>", 0, ""},
        // Unended deep nesting is not well-formed: nothing starts.
        {"unended",
         "<config><app name=\"a\"/>" + Nest("x", kDepth, "").substr(0, kDepth * 3) + "</config>", 0,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Apps apps = WalkBytes(c.text);
        ASSERT_EQ(apps.size(), c.apps);
        if (c.apps > 0) {
            EXPECT_EQ(apps[0]->name, "a");
            EXPECT_EQ(apps[0]->port, 6001);
            EXPECT_EQ(apps[0]->picMonitor, c.picMonitor + kSep);
        }
    }
}

TEST(HostileConfig, HundredMegabyteFileIsReadWhole) {
    TempFolder folder;
    const std::string path = (folder.path() / "config.xml").string();
    {
        std::ofstream out(path, std::ios::binary);
        out << "<?xml version=\"1.0\"?><config><app name=\"first\">" << kSocket << "</app><!--";
        const std::string filler(1024 * 1024, 'c');
        for (int i = 0; i < 50; ++i) {
            out << filler << ' ' << filler;
        }
        out << "--><other>" << std::string(1024, 't') << "</other><app name=\"last\">" << kSocket
            << "</app></config>\n";
    }
    Apps apps = WalkFile(path);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0]->name, "first");
    EXPECT_EQ(apps[1]->name, "last");
    EXPECT_EQ(apps[1]->port, 6001);
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return out;
}

TEST(HostileConfig, Utf16WithoutMarkIsReadAsItsCharacters) {
    const std::string text =
        "<config><app name=\"a\" path=\"C:\\app.exe\"><socket ip=\"127.0.0.1\" "
        "port=\"6001\"/></app></config>";
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "UTF-16BE" : "UTF-16LE");
        // Without a mark the file is 8-bit text; its zero bytes are removed,
        // which leaves the characters of an ASCII file as they were.
        Apps apps = WalkBytes(Utf16(text, bigEndian));
        ASSERT_EQ(apps.size(), 1u);
        EXPECT_EQ(apps[0]->name, "a");
        EXPECT_EQ(apps[0]->path, "C:\\app.exe");
        EXPECT_EQ(apps[0]->port, 6001);
    }
}

TEST(HostileConfig, Utf16WithoutMarkAndOtherCharactersStaysDefined) {
    // A character beyond ASCII leaves a stray byte once the zero bytes are
    // gone; the file is still read, and the other values are intact.
    const std::string text =
        "<config><app name=\"\xE9t\xE9\"><socket ip=\"127.0.0.1\" "
        "port=\"6001\"/></app></config>";
    Apps apps = WalkBytes(Utf16(text, false));
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]->port, 6001);
    EXPECT_FALSE(apps[0]->name.empty());
}

TEST(HostileConfig, FilesThatAreNotConfigurationsStartNothing) {
    const std::string cases[] = {
        "",
        "\xEF\xBB\xBF",
        "\xFF\xFE",
        std::string(1024 * 1024, '\0'),
        std::string(64 * 1024, '<'),
        "<config>" + std::string(1024 * 1024, '<') + "</config>",
        "<config><app name=\"a\"></config>",
        "<config/><config><app/></config>",
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes.substr(0, 40));
        EXPECT_TRUE(WalkBytes(bytes).empty());
    }
}

TEST(HostileConfig, DeclaredEntitiesAreNotExpanded) {
    // A self-referring entity must not make the value grow: declarations are
    // not read, and the reference stays as written.
    Apps apps = WalkBytes(
        "<!DOCTYPE config [<!ENTITY a \"&a;&a;&a;&a;\">]><config><app name=\"&a;\"/></config>");
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_LE(apps[0]->name.size(), 3u);
}

TEST(HostileConfig, MissingOrUnreadableFileStartsNothing) {
    TempFolder folder;
    EXPECT_TRUE(WalkFile((folder.path() / "absent.xml").string()).empty());
    // A folder where the file should be.
    EXPECT_TRUE(WalkFile(folder.path().string()).empty());
}

// Found by fuzz_encoding (reproducer fuzz/regressions/encoding/exact-buffer-euc-jp):
// on POSIX a conversion into a multi-byte code page gave 0 bytes when a
// character it cannot represent came last and the buffer had exactly the
// measured size.
TEST(HostileConfig, ConversionFitsTheMeasuredBuffer) {
    const std::string euro = "x\xE2\x82\xAC";  // "x" and a euro sign, which EUC-JP lacks
    EncodingConverter measure("UTF-8", euro.data(), static_cast<int32_t>(euro.size()));
    const int32_t measured = measure.ConvertText(nullptr, "EUC-JP");
    ASSERT_GT(measured, 0);
    std::vector<char> buffer(static_cast<size_t>(measured));
    EncodingConverter convert("UTF-8", euro.data(), static_cast<int32_t>(euro.size()));
    convert.toLength = measured;
    EXPECT_EQ(convert.ConvertText(buffer.data(), "EUC-JP"), measured);
}

}  // namespace
