#include "supervision/config_diff.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../support/fake_system_facts.h"
#include "../support/temp_folder.h"
#include "supervision/config_check.h"

namespace {

// Every folder is there and writable, every program found.
class AllThereProbe : public ConfigProbe {
  public:
    AllThereProbe() : ConfigProbe(testing_support::PosixFacts()) {}
    bool FolderExists(const std::string&) override { return true; }
    bool FolderWritable(const std::string&) override { return true; }
    bool ProgramFound(const std::string&, const std::string&) override { return true; }
    bool SameFile(const std::string& a, const std::string& b) override { return a == b; }
    std::string ServiceFolder(const std::string& daemonFolder, std::string*) override {
        return daemonFolder;
    }
};

AppConfig App(const std::string& name, int32_t port) {
    AppConfig app;
    app.name = name;
    app.path = name + ".exe";
    app.ip = "127.0.0.1";
    app.port = port;
    return app;
}

TEST(ConfigDiff, ApplicationsPairedByNameAndEverySettingCompared) {
    AppConfig moved = App("b", 7002);
    AppConfig folder = App("c", 7003);
    folder.fileMonitor[1] = "/r/xml2/";
    AppConfig newPath = App("d", 7004);
    newPath.path = "d2.exe";
    const std::vector<AppConfig> before = {App("a", 7001), App("b", 7001), App("c", 7003),
                                           App("d", 7004), App("gone", 7005)};
    const std::vector<AppConfig> after = {App("new", 7009), folder, moved, App("a", 7001), newPath};
    struct Row {
        const char* name;
        AppChange change;
        int oldIndex, newIndex;
        std::vector<std::string> fields;
    };
    const std::vector<Row> expected = {
        {"a", AppChange::kUnchanged, 0, 3, {}},
        {"b", AppChange::kChanged, 1, 2, {"port"}},
        {"c", AppChange::kChanged, 2, 1, {"fileMonitor"}},
        {"d", AppChange::kChanged, 3, 4, {"path"}},
        {"gone", AppChange::kRemoved, 4, -1, {}},
        {"new", AppChange::kAdded, -1, 0, {}},
    };
    const std::vector<AppDifference> diff = DiffApplications(before, after);
    ASSERT_EQ(diff.size(), expected.size());
    for (std::size_t i = 0; i < diff.size(); ++i) {
        EXPECT_EQ(diff[i].name, expected[i].name);
        EXPECT_EQ(diff[i].change, expected[i].change) << diff[i].name;
        EXPECT_EQ(diff[i].oldIndex, expected[i].oldIndex) << diff[i].name;
        EXPECT_EQ(diff[i].newIndex, expected[i].newIndex) << diff[i].name;
        EXPECT_EQ(diff[i].fields, expected[i].fields) << diff[i].name;
    }
    // Two of one name pair in order; a third is added.
    const auto twice =
        DiffApplications({App("x", 1), App("x", 2)}, {App("x", 1), App("x", 2), App("x", 3)});
    ASSERT_EQ(twice.size(), 3u);
    EXPECT_EQ(twice[0].change, AppChange::kUnchanged);
    EXPECT_EQ(twice[1].change, AppChange::kUnchanged);
    EXPECT_EQ(twice[2].change, AppChange::kAdded);

    ConfigOptions options;
    ConfigOptions other = options;
    EXPECT_TRUE(DiffOptions(options, other).empty());
    other.journal.days = 7;
    other.evidence.type = EvidenceType::kFull;
    other.statusFolder = "/status/";
    EXPECT_EQ(DiffOptions(options, other),
              (std::vector<std::string>{"status", "journal", "evidence"}));
    other = options;
    other.control.group = "zelk";
    EXPECT_EQ(DiffOptions(options, other), std::vector<std::string>{"control"});
}

TEST(ConfigDiff, ReloadPlanRefusesWhatTheCheckFindsWrong) {
    testing_support::TempFolder folder;
    const std::string config = (folder.path() / "config.xml").string();
    const auto plan = [&](const std::string& text) {
        std::ofstream(config, std::ios::binary) << text;
        AllThereProbe probe;
        return PlanReload(config, folder.WithSeparator(), {App("a", 7001)}, ConfigOptions(), probe);
    };
    const std::string a =
        "<app name=\"a\" path=\"a.exe\"><socket ip=\"127.0.0.1\" port=\"7001\"/></app>";
    struct Case {
        const char* what;
        std::string text;
        const char* finding;  // in the first finding line of a refusal
    };
    const Case refused[] = {
        {"not well-formed", "<config>" + a, "not loaded"},
        {"no application", "<config/>", "no application"},
        {"bad port",
         "<config>" + a +
             "<app name=\"b\" path=\"b\"><socket ip=\"127.0.0.1\" port=\"x\"/></app></config>",
         "port"},
        {"same name", "<config>" + a + a + "</config>", "a"},
    };
    for (const Case& c : refused) {
        const ReloadPlan p = plan(c.text);
        EXPECT_TRUE(p.refused) << c.what;
        EXPECT_TRUE(p.differences.empty()) << c.what;
        ASSERT_FALSE(p.findings.empty()) << c.what;
        const std::string summary = ReloadSummary(p, false);
        EXPECT_EQ(summary.find("config.xml not reloaded, nothing changed: "), 0u) << summary;
        EXPECT_NE(summary.find(c.finding), std::string::npos) << summary;
    }
    // A finding that does not block (an unknown attribute) is told, and the
    // reload goes on.
    const ReloadPlan p = plan("<config><journal folder=\"j\" odd=\"1\"/>" + a +
                              "<app name=\"b\" path=\"b.exe\"><socket ip=\"127.0.0.1\" "
                              "port=\"7002\"/></app></config>");
    EXPECT_FALSE(p.refused);
    EXPECT_FALSE(p.findings.empty());
    EXPECT_EQ(p.optionChanges, std::vector<std::string>{"journal"});
    EXPECT_EQ(ReloadSummary(p, true), "config.xml would reload: added b, journal settings changed");
    const ReloadPlan gone = plan(
        "<config><app name=\"b\" path=\"b.exe\"><socket ip=\"127.0.0.1\" "
        "port=\"7002\"/></app></config>");
    EXPECT_EQ(ReloadSummary(gone, false),
              "config.xml reloaded: removed a, added b; a removed application's processes are "
              "left running");
}

}  // namespace
