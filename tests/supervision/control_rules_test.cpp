#include "supervision/control_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"

namespace {

ControlSettings SettingsOf(const std::string& text) {
    CXmlDocument document;
    document.SetDocText(text);
    return ControlSettingsOf(document);
}

TEST(ControlSettings, ReadFromConfigWithDefaults) {
    ControlSettings s =
        SettingsOf("<config><control group=\"zelk\" maxPauseHours=\"48\"/></config>");
    EXPECT_EQ(s.group, "zelk");
    EXPECT_EQ(s.maxPauseHours, 48);
    for (const char* bad : {"0", "169", "-1", "2h", "", "0024000"}) {
        s = SettingsOf(std::string("<config><control maxPauseHours=\"") + bad + "\"/></config>");
        EXPECT_EQ(s.maxPauseHours, kDefaultPauseHours) << bad;
    }
    s = SettingsOf("<config><app name=\"a\" path=\"p\"/></config>");
    EXPECT_TRUE(s.group.empty());
    EXPECT_EQ(s.maxPauseHours, kDefaultPauseHours);
}

TEST(ControlRights, OnlyAdministratorsAndTheConsoleUser) {
    struct Case {
        bool known, isSystem, inGroup, isServerUser, console, granted;
    };
    const Case cases[] = {
        {true, true, false, false, false, true},   // root or SYSTEM
        {true, false, true, false, false, true},   // the group, or an elevated Administrator
        {true, false, false, true, true, true},    // the demo's own user
        {true, false, false, true, false, false},  // ... but not of a service
        {true, false, false, false, true, false},  // anyone else
        {false, true, true, true, true, false},    // nobody the system could not name
    };
    for (const Case& c : cases) {
        ControlCaller caller;
        caller.known = c.known;
        caller.user = "nobody";
        caller.isSystem = c.isSystem;
        caller.inGroup = c.inGroup;
        caller.isServerUser = c.isServerUser;
        const ControlVerdict v = AuthorizeControl(caller, c.console, "root");
        EXPECT_EQ(v.granted, c.granted);
        EXPECT_EQ(v.message.empty(), c.granted);
    }
    ControlCaller nobody;
    nobody.known = true;
    nobody.user = "nobody";
    ControlSettings settings;
    settings.group = "zelk";
    EXPECT_EQ(AuthorizeControl(nobody, false, ControlNeeded(settings, false, false)).message,
              "refused: user 'nobody' may not control ZELK_Daemon (it takes root or a member of "
              "group 'zelk')");
}

TEST(ControlRights, PauseLengthWithinTheCap) {
    ControlSettings settings;  // 24 h
    EXPECT_EQ(PauseSeconds(0, settings), 3600);
    EXPECT_EQ(PauseSeconds(24 * 3600, settings), 24 * 3600);
    EXPECT_EQ(PauseSeconds(24 * 3600 + 1, settings), -1);
    settings.maxPauseHours = 1;
    EXPECT_EQ(PauseSeconds(0, settings), 3600);
    EXPECT_EQ(PauseSeconds(60, settings), 60);
}

// The state file keeps the pauses in force; one whose end has passed, or a
// line spoilt by a crash mid-write, is not restored.
TEST(PauseBook, KeepsPausesAcrossTheStateFileAndDropsExpiredOnes) {
    PauseBook book;
    book.Put({"Recorder", "root", "update", 1000, 5000});
    book.Put({"Camera", "ops", "lens", 1000, 9000});
    book.Put({"Recorder", "root", "longer", 1000, 7000});
    ASSERT_EQ(book.Entries().size(), 2u);
    EXPECT_EQ(book.Find("Recorder")->reason, "longer");

    const std::string text = book.FileText() + "{\"app\":\"Half";
    PauseBook restored = PauseBook::FromFileText(text, 8000);
    ASSERT_EQ(restored.Entries().size(), 1u);
    EXPECT_EQ(restored.Entries()[0].app, "Camera");
    EXPECT_EQ(restored.Entries()[0].by, "ops");

    const std::vector<PauseEntry> expired = book.TakeExpired(7000);
    ASSERT_EQ(expired.size(), 1u);
    EXPECT_EQ(expired[0].app, "Recorder");
    EXPECT_FALSE(book.Remove("Recorder"));
    EXPECT_TRUE(book.Remove("Camera"));
    EXPECT_TRUE(book.FileText().empty());
}

}  // namespace
