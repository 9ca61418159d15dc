#include "zelkctl/options.h"
#include "zelkctl/status_view.h"

#include <gtest/gtest.h>

namespace zelkctl {
namespace {

std::string Joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& a : arguments) {
        text += "[" + a + "]";
    }
    return text;
}

TEST(ZelkctlOptions, ReadsEveryValidCommandLine) {
    struct Case {
        std::vector<std::string> arguments;
        Command command;
        bool help;
        std::string config;
        std::string snapshot;
        bool watch;
        int seconds;
    };
    const Case cases[] = {
        {{"status"}, Command::kStatus, false, "", "", false, 2},
        {{"status", "--config", "c.xml", "--watch"}, Command::kStatus, false, "c.xml", "", true, 2},
        {{"status", "--file=s.prom", "--watch", "5"},
         Command::kStatus,
         false,
         "",
         "s.prom",
         true,
         5},
        {{"status", "--watch=3600"}, Command::kStatus, false, "", "", true, 3600},
        {{"status", "--watch", "--config=c"}, Command::kStatus, false, "c", "", true, 2},
        {{"status", "--help"}, Command::kStatus, true, "", "", false, 2},
        {{"check"}, Command::kCheck, false, "", "", false, 2},
        {{"check", "x y.xml"}, Command::kCheck, false, "x y.xml", "", false, 2},
        {{"check", "-h"}, Command::kCheck, true, "", "", false, 2},
        {{"--help"}, Command::kNone, true, "", "", false, 2},
        {{"help", "check"}, Command::kCheck, true, "", "", false, 2},
    };
    for (const Case& c : cases) {
        const ParseResult r = ParseOptions(c.arguments);
        EXPECT_EQ(r.error, "") << Joined(c.arguments);
        const Options& o = r.options;
        EXPECT_EQ(o.command, c.command) << Joined(c.arguments);
        EXPECT_EQ(o.help, c.help) << Joined(c.arguments);
        EXPECT_EQ(o.configPath, c.config) << Joined(c.arguments);
        EXPECT_EQ(o.snapshotPath, c.snapshot) << Joined(c.arguments);
        EXPECT_EQ(o.watch, c.watch) << Joined(c.arguments);
        EXPECT_EQ(o.watchSeconds, c.seconds) << Joined(c.arguments);
    }
}

TEST(ZelkctlOptions, RejectsBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"stat"},
        {"help", "nope"},
        {"status", "--config"},
        {"status", "--config", ""},
        {"status", "--config=a", "--file=b"},
        {"status", "--file", "a", "--file", "b"},
        {"status", "--watch", "0"},
        {"status", "--watch", "3601"},
        {"status", "--watch", "soon"},
        {"status", "--watch=1.5"},
        {"status", "--watch=-1"},
        {"status", "extra"},
        {"status", "-x"},
        {"status", "--help=x"},
        {"check", "a", "b"},
        {"check", "--bogus"},
        {"check", ""},
    };
    for (const auto& arguments : bad) {
        EXPECT_NE(ParseOptions(arguments).error, "") << Joined(arguments);
    }
}

TEST(ZelkctlOptions, HelpTellsEveryOptionAndExitCode) {
    const std::string status = HelpText(Command::kStatus);
    EXPECT_EQ(status.find("Usage: zelkctl status "), 0u);
    for (const std::string& text :
         {std::string("--config PATH"), std::string("--file PATH"),
          std::string("--watch [SECONDS]"), std::string("  0 "), std::string("  1 "),
          std::string("  2 "), std::string("  3 "), std::to_string(kStaleSeconds) + " seconds",
          std::string("not watched")}) {
        EXPECT_NE(status.find(text), std::string::npos) << text;
    }
    EXPECT_EQ(HelpText(Command::kCheck).find("Usage: zelkctl check [PATH]"), 0u);
    EXPECT_NE(HelpText(Command::kNone).find("status"), std::string::npos);
}

TEST(ZelkctlOptions, ReadsTheJournalCommands) {
    ParseResult r = ParseOptions({"history", "--journal", "j", "--app", "a", "--app=b c", "--since",
                                  "2026-12-09 03:00", "--until=-2h", "--event", "terminated",
                                  "--event=train", "--json"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, Command::kHistory);
    EXPECT_EQ(r.options.journalFolder, "j");
    EXPECT_EQ(r.options.apps, (std::vector<std::string>{"a", "b c"}));
    EXPECT_EQ(r.options.since, "2026-12-09 03:00");
    EXPECT_EQ(r.options.until, "-2h");
    EXPECT_EQ(r.options.events, (std::vector<std::string>{"terminated", "train"}));
    EXPECT_TRUE(r.options.json);

    r = ParseOptions({"timeline", "--config=c.xml", "--day", "2026-10-25", "--output", "d.SVG"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, Command::kTimeline);
    EXPECT_EQ(r.options.configPath, "c.xml");
    EXPECT_EQ(r.options.day, "2026-10-25");
    EXPECT_FALSE(r.options.outputHtml);
    EXPECT_EQ(r.options.fromMinute, 0);
    EXPECT_EQ(r.options.toMinute, 24 * 60);
    r = ParseOptions({"timeline", "--output", "day.Html"});
    EXPECT_TRUE(r.options.outputHtml);
    r = ParseOptions({"timeline", "--from", "03:00", "--to=03:01"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.fromMinute, 180);
    EXPECT_EQ(r.options.toMinute, 181);
    r = ParseOptions({"timeline", "--from=23:59"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.toMinute, 24 * 60);
    r = ParseOptions({"timeline", "--to", "24:00", "--from", "00:00"});
    EXPECT_EQ(r.error, "");
    r = ParseOptions({"help", "timeline"});
    EXPECT_TRUE(r.options.help);
    EXPECT_EQ(r.options.command, Command::kTimeline);

    const std::vector<std::vector<std::string>> bad = {
        {"history", "--config", "c", "--journal", "j"},
        {"history", "--since", "yesterday"},
        {"history", "--until", "2026-02-30"},
        {"history", "--since", "-1d", "--since", "-2d"},
        {"history", "--event", "exploded"},
        {"history", "--app"},
        {"history", "--app="},
        {"history", "--day", "2026-12-09"},  // a timeline option
        {"history", "--json=yes"},
        {"history", "extra"},
        {"timeline", "--json"},  // a history option
        {"timeline", "--day", "09.12.2026"},
        {"timeline", "--output", "day.png"},
        {"timeline", "--output="},
        {"timeline", "--to", "24:01"},
        {"timeline", "--from", "04:00", "--to", "03:00"},
        {"timeline", "--from", "03:00", "--to", "03:00"},  // not a minute apart
        {"timeline", "--from", "24:00"},                   // nothing after it
        {"timeline", "--to", "00:00"},
        {"timeline", "--from", "01:00", "--from", "02:00"},
        {"timeline", "--to"},
        {"history", "--from", "03:00"},  // a timeline option
    };
    for (const auto& arguments : bad) {
        EXPECT_NE(ParseOptions(arguments).error, "") << Joined(arguments);
    }
    EXPECT_NE(ParseOptions({"history", "--event", "exploded"}).error.find("terminated"),
              std::string::npos);
    EXPECT_EQ(ParseOptions({"timeline", "--from", "04:00", "--to", "03:00"}).error,
              "--from 04:00 must come at least a minute before --to 03:00");
    for (const Command command : {Command::kHistory, Command::kTimeline}) {
        const std::string help = HelpText(command);
        for (const char* option : {"--config PATH", "--journal FOLDER", "--app NAME"}) {
            EXPECT_NE(help.find(option), std::string::npos) << option;
        }
    }
    EXPECT_NE(HelpText(Command::kNone).find("timeline [--config"), std::string::npos);
}

}  // namespace
}  // namespace zelkctl
