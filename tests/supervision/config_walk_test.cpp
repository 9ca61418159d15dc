#include "supervision/config_walk.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/failing_allocator.h"
#include "../support/fake_system_facts.h"
#include "../support/temp_folder.h"
#include "markup/markup.h"

namespace {

using testing_support::TempFolder;

const SystemFacts& kFacts = testing_support::PosixFacts();
const std::string kSep(1, kFacts.pathSeparator);

std::vector<std::unique_ptr<AppConfig>> WalkText(const std::string& text) {
    std::vector<std::unique_ptr<AppConfig>> apps;
    CXmlDocument document;
    document.SetDocText(text);
    WalkConfigDocument(document, kFacts,
                       [&](std::unique_ptr<AppConfig> app) { apps.push_back(std::move(app)); });
    return apps;
}

std::string App(int i, const std::string& inside = "") {
    return "<app name=\"a" + std::to_string(i) + "\" path=\"p" + std::to_string(i) + "\">" +
           inside + "</app>";
}

TEST(ConfigWalk, ReadsEveryFieldOfAnApplication) {
    auto apps = WalkText(
        "<?xml version=\"1.0\"?>\n<config>\n"
        " <app name=\"Zelk.exe\" path=\"C:\\zelk\\Zelk.exe -x\">\n"
        "  <socket ip=\"127.0.0.1\" port=\"8080\"/>\n"
        "  <subApp name=\"sub\" startPath=\"C:\\s\\install.bat\" stopPath=\"C:\\s\\stop.bat\">\n"
        "   <fileMonitor>D:" +
        kSep +
        "out</fileMonitor>\n"
        "   <fileMonitor>E:" +
        kSep + "x" + kSep +
        "</fileMonitor>\n"
        "   <picMonitor>P:" +
        kSep +
        "pic</picMonitor>\n"
        "   <picMonitor>ignored</picMonitor>\n"
        "  </subApp>\n"
        " </app>\n</config>\n");
    ASSERT_EQ(apps.size(), 1u);
    const AppConfig& a = *apps[0];
    EXPECT_EQ(a.name, "Zelk.exe");
    EXPECT_EQ(a.path, "C:\\zelk\\Zelk.exe -x");
    EXPECT_EQ(a.ip, "127.0.0.1");
    EXPECT_EQ(a.port, 8080);
    const unsigned char* port = reinterpret_cast<const unsigned char*>(&a.address.port);
    EXPECT_EQ(port[0], 0x1F);  // network byte order: 8080 is 0x1F90
    EXPECT_EQ(port[1], 0x90);
    const unsigned char* ip = reinterpret_cast<const unsigned char*>(&a.address.address);
    EXPECT_EQ(ip[0], 127);
    EXPECT_EQ(ip[3], 1);
    EXPECT_NE(a.address.family, 0);
    EXPECT_EQ(a.subAppName, "sub");
    EXPECT_EQ(a.startPath, "C:\\s\\install.bat");
    EXPECT_EQ(a.stopPath, "C:\\s\\stop.bat");
    EXPECT_EQ(a.fileMonitor[0], "D:" + kSep + "out" + kSep);
    EXPECT_EQ(a.fileMonitor[1], "E:" + kSep + "x" + kSep)
        << "an ending separator is kept, not doubled";
    EXPECT_EQ(a.fileMonitor[2], "");
    EXPECT_EQ(a.picMonitor, "P:" + kSep + "pic" + kSep) << "only the first picMonitor counts";
    EXPECT_EQ(a.owner, nullptr);
}

TEST(ConfigWalk, TakesTheFirstTwentyOfTwentyFiveApplicationsInOrder) {
    std::string text = "<config>";
    for (int i = 0; i < 25; ++i) {
        text += App(i) + (i % 3 == 0 ? "<other/>" : "");
    }
    text += "</config>";
    auto apps = WalkText(text);
    ASSERT_EQ(apps.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(apps[static_cast<size_t>(i)]->name, "a" + std::to_string(i));
        EXPECT_EQ(apps[static_cast<size_t>(i)]->path, "p" + std::to_string(i));
    }
}

TEST(ConfigWalk, SubAppBeforeSocketIsNotSeen) {
    auto apps = WalkText("<config>" +
                         App(0,
                             "<subApp name=\"s\"><fileMonitor>f</fileMonitor></subApp>"
                             "<socket ip=\"1.2.3.4\" port=\"1\"/>") +
                         App(1, "<subApp name=\"t\"/>") + "</config>");
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0]->ip, "1.2.3.4");
    EXPECT_EQ(apps[0]->subAppName, "");
    EXPECT_EQ(apps[0]->fileMonitor[0], "");
    // Without a socket the subApp is found from the start of the app.
    EXPECT_EQ(apps[1]->subAppName, "t");
    EXPECT_EQ(apps[1]->ip, "");
    EXPECT_EQ(apps[1]->port, 0);
    EXPECT_EQ(apps[1]->address.address, 0u);
    EXPECT_EQ(apps[1]->address.port, 0u);
}

TEST(ConfigWalk, EmptyFileMonitorIsStoredEmptyAndFollowersKeepTheirPlaces) {
    auto apps = WalkText("<config>" +
                         App(0,
                             "<subApp><fileMonitor>a</fileMonitor><fileMonitor></fileMonitor>"
                             "<fileMonitor/><fileMonitor>d</fileMonitor></subApp>") +
                         "</config>");
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]->fileMonitor[0], "a" + kSep);
    EXPECT_EQ(apps[0]->fileMonitor[1], "");
    EXPECT_EQ(apps[0]->fileMonitor[2], "");
    EXPECT_EQ(apps[0]->fileMonitor[3], "d" + kSep);
}

TEST(ConfigWalk, SeventeenFileMonitorsKeepSixteen) {
    std::string monitors;
    for (int i = 0; i < 17; ++i) {
        monitors += "<fileMonitor>f" + std::to_string(i) + "</fileMonitor>";
    }
    auto apps = WalkText("<config>" +
                         App(0, "<subApp>" + monitors + "<picMonitor>p</picMonitor></subApp>") +
                         App(1) + "</config>");
    ASSERT_EQ(apps.size(), 2u);
    for (int i = 0; i < kMaxFileMonitors; ++i) {
        EXPECT_EQ(apps[0]->fileMonitor[static_cast<size_t>(i)], "f" + std::to_string(i) + kSep);
    }
    EXPECT_EQ(apps[0]->picMonitor, "p" + kSep);
    EXPECT_EQ(apps[1]->name, "a1") << "the walk goes on normally after the extra entry";
}

TEST(ConfigWalk, PortsAndAddresses) {
    struct Case {
        const char* port;
        const char* ip;
        int32_t expectedPort;
        uint16_t expectedNetPort;  // as bytes high, low
        bool addressSet;
    };
    const Case cases[] = {
        {" 8080x", "127.0.0.1", 8080, 8080, true},
        {"abc", "127.0.0.1", 0, 0, true},
        {"70000", "127.0.0.1", 70000, 4464, true},
        {"-1", "127.0.0.1", -1, 65535, true},
        {"\t+12", "10.0.0.1", 12, 12, true},
        {"99999999999", "127.0.0.1", INT32_MAX, 65535, true},
        // The address is the socket library's reading of the text (its cases
        // are the platform's tests).
        {"80", "localhost", 80, 80, false},
        {"80", "", 80, 80, false},
    };
    for (const Case& c : cases) {
        auto apps = WalkText(std::string("<config><app name=\"n\"><socket ip=\"") + c.ip +
                             "\" port=\"" + c.port + "\"/></app></config>");
        ASSERT_EQ(apps.size(), 1u) << c.port;
        EXPECT_EQ(apps[0]->port, c.expectedPort) << c.port;
        const unsigned char* port = reinterpret_cast<const unsigned char*>(&apps[0]->address.port);
        EXPECT_EQ(port[0] * 256 + port[1], c.expectedNetPort) << c.port;
        EXPECT_EQ(apps[0]->address.address != 0, c.addressSet) << c.ip;
        EXPECT_EQ(apps[0]->ip, c.ip) << "the text is kept as written";
    }
}

TEST(ConfigWalk, DocumentsThatGiveNoApplication) {
    const char* const texts[] = {
        "",
        "<other><app name=\"x\"/></other>",
        "<config></config>",
        "<config><app name=\"x\"/>",                    // unended
        "<config><app name=\"x\"/></config><config/>",  // second top element
        "<config><app name=\"x\"/></b></config>",       // lone end tag
    };
    for (const char* text : texts) {
        EXPECT_TRUE(WalkText(text).empty()) << text;
    }
}

TEST(ConfigWalk, ReadsAFileAndRefusesAMissingOrMalformedOne) {
    TempFolder folder;
    std::string good = folder.WithSeparator() + "config.xml";
    std::ofstream(good, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<config>" + App(0) + App(1) +
               "</config>\r\n";
    std::string bad = folder.WithSeparator() + "bad.xml";
    std::ofstream(bad, std::ios::binary) << "<config>" + App(0) + "</conf>";
    std::vector<std::string> names;
    auto take = [&](std::unique_ptr<AppConfig> app) { names.push_back(app->name); };
    EXPECT_EQ(WalkConfigFile(good, kFacts, take), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"a0", "a1"}));
    EXPECT_EQ(WalkConfigFile(bad, kFacts, take), 0);
    EXPECT_EQ(WalkConfigFile(folder.WithSeparator() + "missing.xml", kFacts, take), 0);
    EXPECT_EQ(names.size(), 2u);
}

TEST(ConfigWalk, ExhaustedMemoryEndsTheWalkWithTheRecordsTakenSoFar) {
    TempFolder folder;
    std::string path = folder.WithSeparator() + "config.xml";
    std::ofstream(path, std::ios::binary) << "<config>" + App(0) + App(1) + App(2) + "</config>";
    const long failures = testing_support::ForEachFailingAllocation([&](long failAt) {
        std::vector<std::string> names;
        bool outOfMemory = false;
        int taken = 0;
        bool failed = false;
        {
            testing_support::FailingAllocations guard(failAt);
            taken = WalkConfigFile(
                path, kFacts, [&](std::unique_ptr<AppConfig> app) { names.push_back(app->name); },
                &outOfMemory);
            failed = guard.Failed();
        }
        SCOPED_TRACE("allocation " + std::to_string(failAt));
        EXPECT_EQ(static_cast<size_t>(taken), names.size());
        EXPECT_EQ(outOfMemory, taken < 3);
        if (!failed) {
            EXPECT_EQ(names, (std::vector<std::string>{"a0", "a1", "a2"}));
        }
        return failed;
    });
    EXPECT_GT(failures, 0);
}

TEST(ConfigWalk, EvidenceSettings) {
    const auto settings = [](const std::string& element, std::vector<std::string>* invalid) {
        CXmlDocument document;
        document.SetDocText("<config>" + element + App(1) + "</config>");
        return EvidenceSettingsOf(document, "/opt/d" + kSep, kFacts, invalid);
    };
    std::vector<std::string> invalid;
    // No element, or one without a folder: off.
    EXPECT_EQ(settings("", &invalid).folder, "");
    EXPECT_EQ(settings("<evidence keep=\"3\"/>", &invalid).folder, "");
    // A relative folder counts from the daemon's folder; the defaults.
    EvidenceSettings read = settings("<evidence folder=\"dumps\"/>", &invalid);
    EXPECT_EQ(read.folder, "/opt/d" + kSep + "dumps");
    EXPECT_EQ(read.keep, kEvidenceDefaultKeep);
    EXPECT_EQ(read.megabytes, kEvidenceDefaultMegabytes);
    EXPECT_EQ(read.type, EvidenceType::kMini);
    EXPECT_TRUE(invalid.empty());
    read =
        settings("<evidence folder=\"/e\" keep=\"1000\" megabytes=\"1\" type=\"full\"/>", &invalid);
    EXPECT_EQ(read.folder, "/e");
    EXPECT_EQ(read.keep, 1000u);
    EXPECT_EQ(read.megabytes, 1u);
    EXPECT_EQ(read.type, EvidenceType::kFull);
    EXPECT_TRUE(invalid.empty());
    // Out of range, signed or not numbers: the defaults, each named.
    read = settings("<evidence folder=\"/e\" keep=\"1001\" megabytes=\"-5\" type=\"FULL\"/>",
                    &invalid);
    EXPECT_EQ(read.keep, kEvidenceDefaultKeep);
    EXPECT_EQ(read.megabytes, kEvidenceDefaultMegabytes);
    EXPECT_EQ(read.type, EvidenceType::kMini);
    EXPECT_EQ(invalid, (std::vector<std::string>{"keep", "megabytes", "type"}));
    invalid.clear();
    settings("<evidence folder=\"/e\" keep=\"0\" megabytes=\"99999999999999\"/>", &invalid);
    EXPECT_EQ(invalid, (std::vector<std::string>{"keep", "megabytes"}));
}

}  // namespace
