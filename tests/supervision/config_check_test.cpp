// The pitfalls of config.xml: each configuration below holds one, and the
// check must name it, and nothing else, against a fake file system.
#include "supervision/config_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "../support/fake_system_facts.h"
#include "../support/temp_folder.h"
#include "markup/markup.h"
#include "supervision/config_walk.h"

namespace {

const SystemFacts& kFacts = testing_support::PosixFacts();
const std::string kSep(1, kFacts.pathSeparator);
const std::string kDaemonFolder = "/opt" + kSep + "d" + kSep;
const std::string kServiceFolder = "/svc" + kSep;

std::string Folder(const std::string& path) {
    return NormaliseFolder(path, kFacts.pathSeparator);
}

class FakeProbe : public ConfigProbe {
  public:
    explicit FakeProbe(const SystemFacts& facts = kFacts) : ConfigProbe(facts) {}
    std::set<std::string> folders{Folder("/r/xml"), Folder("/r/pics"), "/status", "/readonly",
                                  Folder(kDaemonFolder + "xml")};
    std::set<std::string> writable{"/status"};
    std::set<std::string> missingPrograms{"missing-program"};
    std::set<std::string> ownFolders;

    bool FolderExists(const std::string& folder) override { return folders.count(folder) > 0; }
    bool FolderWritable(const std::string& folder) override { return writable.count(folder) > 0; }
    bool ProgramFound(const std::string& commandLine, const std::string& ownFolder) override {
        ownFolders.insert(ownFolder);
        return missingPrograms.count(commandLine) == 0;
    }
    // Paths that are links to another, and their targets.
    std::set<std::pair<std::string, std::string>> links;
    bool SameFile(const std::string& a, const std::string& b) override {
        return a == b || links.count({a, b}) > 0 || links.count({b, a}) > 0;
    }
    std::string ServiceFolder(const std::string&, std::string* why) override {
        *why = "the service's folder";
        return kServiceFolder;
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
    ConfigCheck check = CheckConfigDocument(document, kDaemonFolder, probe);
    check.loaded = true;
    return check;
}

TEST(ConfigCheck, ASoundConfigurationHasNoFindingAndTheWalksRecords) {
    FakeProbe probe;
    const std::string other = "<socket ip=\"10.0.0.1\" port=\"7100\"/>" + SubApp(kMonitors);
    const ConfigCheck check =
        Check(Config("<!-- c -->" + App(1) + "<journal folder=\"j\" days=\"7\"/>" + App(2) +
                     App(3, other)),
              probe);
    for (const ConfigFinding& finding : check.findings) {
        ADD_FAILURE() << finding.text;
    }
    EXPECT_EQ(CheckExitCode(check), 0);
    ASSERT_EQ(check.apps.size(), 3u);
    EXPECT_EQ(check.apps[1].name, "a2.exe");
    EXPECT_EQ(check.apps[2].port, 7100);
    EXPECT_EQ(check.statusFolder, "/status");
    // Programs are looked for as the daemon in its folder finds them.
    EXPECT_EQ(probe.ownFolders, std::set<std::string>{kDaemonFolder});
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
        {Config("<journal folder=\"j\"/>"), Pitfall::kNoApplication, -1, "nothing is watched"},
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
        // A relative status folder counts from the daemon's folder.
        {"<config><status folder=\"st\"/>" + App(1) + "</config>", Pitfall::kStatusNotWritable, -1,
         "\"" + kDaemonFolder + "st\" cannot be written"},
        // Result folders the system resolves from the daemon's current folder.
        {Config(App(1, socket + SubApp("<fileMonitor>xml</fileMonitor>"
                                       "<picMonitor>/r/pics</picMonitor>"))),
         Pitfall::kRelativeFolder, 0,
         "fileMonitor 1 \"xml" + kSep +
             "\" is relative, so it depends on the daemon's current folder: as a service it is "
             "\"" +
             kServiceFolder + "xml" + kSep +
             "\" (the service's folder), which does not exist; in console mode it counts from "
             "the folder the daemon is started in"},
        {Config(App(1, socket + SubApp("<fileMonitor>/r/xml</fileMonitor>"
                                       "<picMonitor>pics</picMonitor>"))),
         Pitfall::kRelativeFolder, 0, "picMonitor \"pics" + kSep + "\" is relative"},
        // Commands whose program is found from the current folder; a bare
        // name is searched along the path.
        {Config(App(1, socket +
                           "<subApp name=\"s\" startPath=\"install now\" stopPath=\"bin/un "
                           "-q\">" +
                           kMonitors + "</subApp>")),
         Pitfall::kRelativeCommand, 0,
         "stopPath \"bin/un -q\" starts \"bin/un\" by a relative path, so it depends on the "
         "daemon's current folder: as a service it is \"" +
             kServiceFolder},
        {Config(App(1, socket +
                           "<subApp name=\"s\" startPath=\" &quot;my tools/in&quot; -x\" "
                           "stopPath=\"un\">" +
                           kMonitors + "</subApp>")),
         Pitfall::kRelativeCommand, 0, "startPath \" \"my tools/in\" -x\" starts \"my tools/in\""},
        // Of an attribute written twice the engine answers with the first.
        {Config(
             App(1, "<socket ip=\"127.0.0.1\" port=\"7001\" port=\"7002\"/>" + SubApp(kMonitors))),
         Pitfall::kRepeatedAttribute, 0,
         "line 4, column 68: attribute port of <socket> written again: the daemon reads the "
         "first, \"7001\", and ignores \"7002\""},
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

// Unknown names, each with its line and column and the known name it most
// resembles, in the order of the file: the file's first, then each
// application's before its other findings.
TEST(ConfigCheck, NamesEveryUnknownElementAndAttributeWhereItStands) {
    FakeProbe probe;
    const ConfigCheck check = Check(
        "<config>\n"
        "<status folder=\"/status\" interval=\"5\"/>\n"
        "<app name=\"a.exe\" path=\"run\" nmae=\"x\">\n"
        "<sokcet ip=\"127.0.0.1\" prot=\"1\"/>\n"
        "<socket ip=\"127.0.0.1\" port=\"7001\"/>\n"
        "<subApp Name=\"s\">" +
            kMonitors +
            "<fileMonitr>/r/x</fileMonitr></subApp>\n"
            "<picMonitor>/r/pics</picMonitor><picMonitr/>\n"
            "<comment/>\n"
            "</app>\n"
            "<jounral days=\"3\"/>\n"
            "</config>\n",
        probe);
    const std::vector<std::string> expected = {
        "config.xml: line 2, column 26: unknown attribute interval of <status> (the daemon reads "
        "folder there): the daemon ignores it",
        "config.xml: line 10, column 1: unknown element <jounral> in <config> (did you mean "
        "<journal>?): the daemon ignores it and all it holds",
        "app 1 \"a.exe\": line 3, column 30: unknown attribute nmae of <app> (did you mean name?): "
        "the daemon ignores it",
        "app 1 \"a.exe\": line 4, column 1: unknown element <sokcet> in <app> (did you mean "
        "<socket>?): the daemon ignores it and all it holds",
        "app 1 \"a.exe\": line 6, column 9: unknown attribute Name of <subApp> (did you mean name? "
        "names are case-sensitive): the daemon ignores it",
        "app 1 \"a.exe\": line 6, column 83: unknown element <fileMonitr> in <subApp> (did you "
        "mean <fileMonitor>?): the daemon ignores it and all it holds",
        "app 1 \"a.exe\": line 7, column 1: <picMonitor> belongs in <subApp>, not in <app>: the "
        "daemon ignores it and all it holds",
        "app 1 \"a.exe\": line 7, column 33: unknown element <picMonitr> in <app> (did you mean "
        "<picMonitor>, which belongs in <subApp>?): the daemon ignores it and all it holds",
        "app 1 \"a.exe\": line 8, column 1: unknown element <comment> in <app> (the daemon reads "
        "<socket> and <subApp> there): the daemon ignores it and all it holds",
    };
    std::vector<std::string> lines;
    for (const ConfigFinding& finding : check.findings) {
        lines.push_back(FindingLine(check, finding));
    }
    EXPECT_EQ(lines, expected);

    // An application past the 20th has no record: its names belong to the file.
    std::string twentyOne;
    for (int i = 1; i <= 20; ++i) {
        twentyOne += App(i);
    }
    const ConfigCheck late = Check(Config(twentyOne + "<app name=\"late\" patth=\"x\"/>"), probe);
    ASSERT_EQ(late.findings.size(), 2u);
    EXPECT_EQ(late.findings[1].pitfall, Pitfall::kUnknownAttribute);
    EXPECT_EQ(FindingLine(late, late.findings[1]).rfind("config.xml: app 21: line ", 0), 0u)
        << late.findings[1].text;
}

// Of each kind the first ones are printed, then how many more there are;
// other kinds keep their place and their lines.
TEST(ConfigCheck, FindingLinesShowTheFirstOfEachKindThenCountTheRest) {
    FakeProbe probe;
    std::string attributes;
    for (int i = 0; i < 5; ++i) {
        attributes += " x" + std::to_string(i) + "=\"1\"";
    }
    const ConfigCheck check =
        Check(Config("<app name=\"a\" path=\"run\"" + attributes +
                     "><socket ip=\"127.0.0.1\" port=\"7001\"/><y/><z/></app>"),
              probe);
    ASSERT_EQ(check.findings.size(), 7u);
    std::vector<std::string> starts;
    for (const std::string& line : FindingLines(check, 2)) {
        starts.push_back(line.substr(0, line.find(" (")));
    }
    EXPECT_EQ(starts, (std::vector<std::string>{
                          "app 1 \"a\": line 4, column 26: unknown attribute x0 of <app>",
                          "app 1 \"a\": line 4, column 33: unknown attribute x1 of <app>",
                          "and 3 more unknown attributes",
                          "app 1 \"a\": line 4, column 97: unknown element <y> in <app>",
                          "app 1 \"a\": line 4, column 101: unknown element <z> in <app>",
                      }));
    EXPECT_EQ(FindingLines(check).size(), 7u);
}

// The same file under each system's rules: what is absolute, what
// separates folders.
TEST(ConfigCheck, JudgesPathsByTheRulesOfTheSystem) {
    const std::string config =
        Config(App(1,
                   "<socket ip=\"127.0.0.1\" port=\"7001\"/>"
                   "<subApp name=\"s\" startPath=\"install\" stopPath=\"bin\\un -q\">"
                   "<fileMonitor>C:\\r\\xml</fileMonitor><fileMonitor>xml</fileMonitor>"
                   "<picMonitor>C:/r/pics</picMonitor></subApp>"));
    const auto pitfalls = [&](const SystemFacts& facts, const std::set<std::string>& folders) {
        FakeProbe probe(facts);
        probe.folders = folders;
        CXmlDocument document;
        EXPECT_TRUE(document.SetDocText(config));
        std::vector<std::string> found;
        for (const ConfigFinding& finding :
             CheckConfigDocument(document, kDaemonFolder, probe).findings) {
            found.push_back(finding.text.substr(0, finding.text.find(" is relative")));
        }
        return found;
    };
    // POSIX: no drive letters, and a backslash is a letter of a name.
    EXPECT_EQ(pitfalls(kFacts, {}),
              (std::vector<std::string>{"fileMonitor 1 \"C:\\r\\xml/\"", "fileMonitor 2 \"xml/\"",
                                        "picMonitor \"C:/r/pics/\""}));
    // Windows: both separators, drive letters.
    const std::vector<std::string> windows =
        pitfalls(testing_support::WindowsFacts(1252), {"C:\\r\\xml\\", "C:/r/pics\\"});
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0], "fileMonitor 2 \"xml\\\"");
    EXPECT_EQ(windows[1].rfind("stopPath \"bin\\un -q\" starts \"bin\\un\" by a relative path", 0),
              0u)
        << windows[1];
}

TEST(ConfigCheck, TheDaemonsFolderIsZelkctlsWhenItsConfigIsTheFileChecked) {
    const std::string tool = "/opt" + kSep + "zelk" + kSep;
    const std::string etc = "/etc" + kSep + "zelk" + kSep + "config.xml";
    FakeProbe probe;
    probe.links.insert({tool + "config.xml", etc});
    // The Debian package's link; the config.xml beside zelkctl itself; one
    // elsewhere, beside its own daemon.
    EXPECT_EQ(DaemonFolderFor(etc, tool, probe), tool);
    EXPECT_EQ(DaemonFolderFor(tool + "config.xml", tool, probe), tool);
    const std::string demo = "/w" + kSep + "demo" + kSep;
    EXPECT_EQ(DaemonFolderFor(demo + "config.xml", tool, probe), demo);
    EXPECT_EQ(DaemonFolderFor(etc, "", probe), "/etc" + kSep + "zelk" + kSep);
}

TEST(ConfigCheck, AFileTheDaemonDoesNotLoadIsNotLoadedWithTheEnginesReport) {
    testing_support::TempFolder folder;
    const std::string broken = folder.WithSeparator() + "broken.xml";
    std::ofstream(broken) << "<config><app name=\"a\"></config>";
    const std::string twoFaults = folder.WithSeparator() + "two.xml";
    std::ofstream(twoFaults, std::ios::binary) << "<config>\n</app>\n</config>\n<x/>";
    const std::string empty = folder.WithSeparator() + "empty.xml";
    std::ofstream(empty).flush();
    struct Case {
        std::string path;
        std::string named;
    };
    const Case cases[] = {
        {broken,
         "not loaded (not well-formed: a start tag without its end tag at line 1, column 9, "
         "closed by the end tag at line 1, column 24): the daemon starts no application; the "
         "engine reports <read encoding=\"UTF-8\" length=\"31\"/>"},
        {twoFaults,
         "(not well-formed: an end tag that closes nothing at line 2, column 1; a second top "
         "element at line 4, column 1)"},
        {empty, "not loaded (empty file)"},
        {folder.WithSeparator() + "missing.xml", "not loaded (cannot be read: text of error 2)"},
    };
    for (const Case& c : cases) {
        FakeProbe probe;
        const ConfigCheck check = CheckConfigFile(c.path, kDaemonFolder, probe);
        EXPECT_FALSE(check.loaded);
        EXPECT_TRUE(check.apps.empty());
        EXPECT_EQ(CheckExitCode(check), 2);
        ASSERT_EQ(check.findings.size(), 1u);
        EXPECT_EQ(check.findings[0].pitfall, Pitfall::kNotLoaded);
        EXPECT_NE(check.findings[0].text.find(c.named), std::string::npos)
            << check.findings[0].text;
        // The whole report, whatever the load met.
        const std::string& text = check.findings[0].text;
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), check.report.size())),
                  check.report);
    }
}

}  // namespace
