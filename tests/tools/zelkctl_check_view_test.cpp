#include "zelkctl/check_view.h"

#include <gtest/gtest.h>

#include "../support/fake_system_facts.h"
#include "../support/temp_folder.h"

namespace zelkctl {
namespace {

using testing_support::SplitLines;

const SystemFacts& kFacts = testing_support::WindowsFacts(1252);

TEST(ZelkctlCheckView, PlansWhatTheDaemonDoesThenNamesEachPitfall) {
    ConfigCheck check;
    check.loaded = true;
    check.daemonFolder = "/d/";
    check.statusFolder = "/s";
    AppConfig sound;
    sound.name = "a.exe";
    sound.path = "/bin/a -x";
    sound.ip = "127.0.0.1";
    sound.port = 7001;
    sound.picMonitor = "/p/";
    sound.fileMonitor[0] = "/x/";
    sound.fileMonitor[1] = "/y/";
    sound.fileMonitor[3] = "/hidden/";
    sound.stopPath = "uninstall";
    sound.startPath = "install";
    AppConfig bare;
    bare.ip = "localhost";
    bare.port = 70000;
    check.apps = {sound, bare};
    check.findings = {{Pitfall::kBeyondTwenty, -1, "21 app elements ..."},
                      {Pitfall::kBadIp, 1, "ip \"localhost\" ..."}};
    const std::vector<std::string> expected = {
        "config.xml: /c/config.xml",
        "daemon folder: /d/",
        "status snapshot: /s\\zelk.prom",
        "",
        "app 1  a.exe  127.0.0.1:7001",
        "  restarts      terminates the processes named a.exe, then launches /bin/a -x",
        "  after trains  counts pictures in /p/<train>\\ and XML files in /x/, /y/",
        "  on mismatch   runs uninstall, then install five handshakes later",
        "app 2  (no name)  0.0.0.0:4464 (ip \"localhost\" is not dotted IPv4)",
        "  restarts      terminates nothing (empty name), then launches nothing (empty path)",
        "  after trains  compares nothing (no picMonitor)",
        "",
        "pitfall: config.xml: 21 app elements ...",
        "pitfall: app 2 \"\": ip \"localhost\" ...",
        "2 pitfalls found.",
    };
    EXPECT_EQ(SplitLines(CheckReport(check, "/c/config.xml", kFacts)), expected);
}

TEST(ZelkctlCheckView, AFileNotLoadedHasNoPlanAndASoundOneNoPitfall) {
    ConfigCheck broken;
    broken.findings = {{Pitfall::kNotLoaded, -1, "not loaded (not well-formed): ..."}};
    EXPECT_EQ(SplitLines(CheckReport(broken, "/c/x.xml", kFacts)),
              (std::vector<std::string>{"config.xml: /c/x.xml", "",
                                        "pitfall: config.xml: not loaded (not well-formed): ...",
                                        "1 pitfall found."}));
    ConfigCheck empty;
    empty.loaded = true;
    const std::string report = CheckReport(empty, "/c/x.xml", kFacts);
    EXPECT_NE(report.find("status snapshot: off"), std::string::npos) << report;
    EXPECT_NE(report.find("The daemon watches no application.\n\nNo pitfall found.\n"),
              std::string::npos)
        << report;
}

}  // namespace
}  // namespace zelkctl
