// The pitfalls of config.xml: each configuration below holds one, and the
// check must name it, and nothing else, against a fake file system.
#include "daemon/config_check.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "daemon/config_walk.h"
#include "markup/markup.h"
#include "platform/system.h"

namespace {

const std::string kConfigFolder = std::string("/cfg") + platform::kPathSeparator;

std::string Folder(const std::string& path) {
    return NormaliseFolder(path);
}

class FakeProbe : public ConfigProbe {
  public:
    std::set<std::string> folders{Folder("/r/xml"), Folder("/r/pics"), "/status", "/readonly",
                                  Folder(kConfigFolder + "xml")};
    std::set<std::string> writable{"/status"};
    std::set<std::string> missingPrograms{"missing-program"};
    std::set<std::string> ownFolders;

    bool FolderExists(const std::string& folder) override { return folders.count(folder) > 0; }
    bool FolderWritable(const std::string& folder) override { return writable.count(folder) > 0; }
    bool ProgramFound(const std::string& commandLine, const std::string& ownFolder) override {
        ownFolders.insert(ownFolder);
        return missingPrograms.count(commandLine) == 0;
    }
};

std::string SubApp(const std::string& inside) {
    return "<subApp name=\"s\" startPath=\"install\" stopPath=\"uninstall\">" + inside +
           "</subApp>";
}

const std::string kMonitors = "<fileMonitor>/r/xml</fileMonitor><picMonitor>/r/pics</picMonitor>";

// A sound application; `port` and `name` keep them apart.
std::string App(int i, const std::string& inside = "") {
    const std::string socket =
        "<socket ip=\"127.0.0.1\" port=\"" + std::to_string(7000 + i) + "\"/>";
    return "<app name=\"a" + std::to_string(i) + ".exe\" path=\"run-" + std::to_string(i) + "\">" +
           (inside.empty() ? socket + SubApp(kMonitors) : inside) + "</app>";
}

std::string Config(const std::string& inside) {
    return "<?xml version=\"1.0\"?>\n<config>\n<status folder=\"/status\"/>\n" + inside +
           "\n</config>\n";
}

ConfigCheck Check(const std::string& text, FakeProbe& probe) {
    CXmlDocument document;
    EXPECT_TRUE(document.SetDocText(text)) << text;
    ConfigCheck check = CheckConfigDocument(document, kConfigFolder, probe);
    check.loaded = true;
    return check;
}

TEST(ConfigCheck, ASoundConfigurationHasNoFindingAndTheWalksRecords) {
    FakeProbe probe;
    // A relative result folder is looked for from the folder of config.xml.
    const std::string relative =
        "<socket ip=\"10.0.0.1\" port=\"7100\"/>" + SubApp(
                                                        "<fileMonitor>xml</fileMonitor>"
                                                        "<picMonitor>/r/pics</picMonitor>");
    const ConfigCheck check = Check(Config(App(1) + "<other/>" + App(2) + App(3, relative)), probe);
    for (const ConfigFinding& finding : check.findings) {
        ADD_FAILURE() << finding.text;
    }
    EXPECT_EQ(CheckExitCode(check), 0);
    ASSERT_EQ(check.apps.size(), 3u);
    EXPECT_EQ(check.apps[1].name, "a2.exe");
    EXPECT_EQ(check.apps[2].port, 7100);
    EXPECT_EQ(check.statusFolder, "/status");
    EXPECT_EQ(probe.ownFolders, std::set<std::string>{kConfigFolder});
}

TEST(ConfigCheck, NamesEachPitfallAndNothingElse) {
    std::string twentyTwo;
    for (int i = 1; i <= 22; ++i) {
        twentyTwo += App(i);
    }
    std::string seventeen;
    for (int k = 1; k <= 16; ++k) {
        seventeen += "<fileMonitor>/r/xml</fileMonitor>";
    }
    seventeen += "<fileMonitor>/r/x17</fileMonitor><picMonitor>/r/pics</picMonitor>";
    const std::string socket = "<socket ip=\"127.0.0.1\" port=\"7001\"/>";
    struct Case {
        std::string config;
        Pitfall pitfall;
        int app;
        std::string named;  // a text the finding must hold
    };
    const Case cases[] = {
        {"<Config>" + App(1) + "</Config>", Pitfall::kTopNotConfig, -1, "<Config>"},
        {Config(twentyTwo), Pitfall::kBeyondTwenty, -1, "\"a21.exe\", \"a22.exe\""},
        {Config("<app path=\"run\">" + socket + SubApp(kMonitors) + "</app>"), Pitfall::kEmptyName,
         0, "never terminated"},
        {Config("<app name=\"n\" path=\"run\">" + SubApp(kMonitors) + "</app>"), Pitfall::kNoSocket,
         0, "no socket element"},
        {Config(App(1, "<socket ip=\"localhost\" port=\"7001\"/>" + SubApp(kMonitors))),
         Pitfall::kBadIp, 0, "\"localhost\""},
        {Config(App(1, "<socket ip=\"127.0.0.1\" port=\" 8080x\"/>" + SubApp(kMonitors))),
         Pitfall::kBadPort, 0,
         "\" 8080x\" is not a plain number from 1 to 65535: the daemon "
         "connects to port 8080"},
        {Config(App(1, "<socket ip=\"127.0.0.1\" port=\"70000\"/>" + SubApp(kMonitors))),
         Pitfall::kBadPort, 0, "port 4464"},
        {Config(App(1, "<socket ip=\"127.0.0.1\" port=\"-1\"/>" + SubApp(kMonitors))),
         Pitfall::kBadPort, 0, "port 65535"},
        {Config(App(1, "<socket ip=\"127.0.0.1\" port=\"http\"/>" + SubApp(kMonitors))),
         Pitfall::kBadPort, 0, "port 0, which reaches nothing"},
        {Config(App(1, "<socket ip=\"127.0.0.1\"/>" + SubApp(kMonitors))), Pitfall::kBadPort, 0,
         "port \"\""},
        {Config(App(1, SubApp(kMonitors) + socket)), Pitfall::kSubAppBeforeSocket, 0,
         "no result files are checked"},
        {Config(App(1, SubApp("") + socket + SubApp(kMonitors))), Pitfall::kSubAppBeforeSocket, 0,
         "the one after it is used"},
        {Config(App(1, socket + SubApp("<fileMonitor>/r/xml</fileMonitor><fileMonitor/>"
                                       "<fileMonitor>/r/hidden</fileMonitor>"
                                       "<picMonitor>/r/pics</picMonitor>"))),
         Pitfall::kEmptyFileMonitor, 0, "fileMonitor 2 is empty"},
        {Config(App(1, socket + SubApp(seventeen))), Pitfall::kTooManyFileMonitors, 0,
         "17 fileMonitor elements"},
        {Config(App(1, socket + SubApp(kMonitors + "<picMonitor>/r/other</picMonitor>"))),
         Pitfall::kSecondPicMonitor, 0, "/r/other"},
        {Config(App(1, socket + SubApp("<fileMonitor>/r/xml</fileMonitor>"
                                       "<fileMonitor>/r/gone</fileMonitor>"
                                       "<picMonitor>/r/pics</picMonitor>"))),
         Pitfall::kMissingFolder, 0, "/r/gone"},
        {Config(App(1, socket + SubApp("<fileMonitor>/r/xml</fileMonitor>"
                                       "<picMonitor>/r/nopics</picMonitor>"))),
         Pitfall::kMissingFolder, 0, "picMonitor folder does not exist"},
        {Config("<app name=\"n\" path=\"missing-program\">" + socket + SubApp(kMonitors) +
                "</app>"),
         Pitfall::kProgramNotFound, 0, "\"missing-program\""},
        {Config("<app name=\"n\">" + socket + SubApp(kMonitors) + "</app>"),
         Pitfall::kProgramNotFound, 0, "empty path"},
        // The endpoint the daemon connects to counts, not its spelling.
        {Config(App(1) + App(2, "<socket ip=\"127.0.0.1\" port=\"07001\"/>" + SubApp(kMonitors))),
         Pitfall::kSameEndpoint, 1, "127.0.0.1:7001 as app 1 \"a1.exe\""},
        {Config(App(1) +
                "<app name=\"a1.exe\" path=\"run\"><socket ip=\"127.0.0.1\" "
                "port=\"7002\"/>" +
                SubApp(kMonitors) + "</app>"),
         Pitfall::kSameName, 1, "as app 1 \"a1.exe\""},
        {"<config><status folder=\"/missing\"/>" + App(1) + "</config>",
         Pitfall::kStatusNotWritable, -1, "\"/missing\" cannot be written (it does not exist)"},
        {"<config><status folder=\"/readonly\"/>" + App(1) + "</config>",
         Pitfall::kStatusNotWritable, -1, "\"/readonly\" cannot be written:"},
    };
    for (const Case& c : cases) {
        FakeProbe probe;
        const ConfigCheck check = Check(c.config, probe);
        ASSERT_EQ(check.findings.size(), 1u) << c.named << "\n" << c.config;
        const ConfigFinding& finding = check.findings[0];
        EXPECT_EQ(finding.pitfall, c.pitfall) << finding.text;
        EXPECT_EQ(finding.app, c.app) << finding.text;
        EXPECT_NE(finding.text.find(c.named), std::string::npos) << finding.text;
        EXPECT_EQ(CheckExitCode(check), 1);
    }
}

TEST(ConfigCheck, AFileTheDaemonDoesNotLoadIsNotLoadedWithTheEnginesReport) {
    testing_support::TempFolder folder;
    const std::string broken = folder.WithSeparator() + "broken.xml";
    std::ofstream(broken) << "<config><app name=\"a\"></config>";
    struct Case {
        std::string path;
        std::string named;
    };
    const Case cases[] = {
        {broken, "not well-formed"},
        {broken, "unended_start_tag"},
        {folder.WithSeparator() + "missing.xml", "cannot be read"},
    };
    for (const Case& c : cases) {
        FakeProbe probe;
        const ConfigCheck check = CheckConfigFile(c.path, probe);
        EXPECT_FALSE(check.loaded);
        EXPECT_TRUE(check.apps.empty());
        EXPECT_EQ(CheckExitCode(check), 2);
        ASSERT_EQ(check.findings.size(), 1u);
        EXPECT_EQ(check.findings[0].pitfall, Pitfall::kNotLoaded);
        EXPECT_NE(check.findings[0].text.find(c.named), std::string::npos)
            << check.findings[0].text;
    }
}

}  // namespace
