// zelkctl's command line: the choice of the command and the tool's help by
// the table of commands, and each command's options.
#include <gtest/gtest.h>

#include <iterator>

#include "zelkctl/check_command.h"
#include "zelkctl/command_line.h"
#include "zelkctl/control_command.h"
#include "zelkctl/history_command.h"
#include "zelkctl/status_command.h"
#include "zelkctl/status_view.h"
#include "zelkctl/timeline_command.h"

namespace zelkctl {
namespace {

const CommandEntry* const kCommands[] = {&kStatusCommand, &kCheckCommand, &kHistoryCommand,
                                         &kTimelineCommand};

std::string Joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& a : arguments) {
        text += "[" + a + "]";
    }
    return text;
}

struct Choice {
    int chosen;
    bool help;
    std::string error;
};

Choice Choose(const std::vector<std::string>& arguments) {
    Choice c{};
    ChooseCommand(kCommands, std::size(kCommands), arguments, &c.chosen, &c.help, &c.error);
    return c;
}

template <class Options>
std::string ErrorOf(bool (*parse)(const std::vector<std::string>&, Options*, std::string*),
                    const std::vector<std::string>& arguments) {
    Options options;
    std::string error;
    const bool parsed = parse(arguments, &options, &error);
    EXPECT_EQ(parsed, error.empty()) << Joined(arguments);
    return error;
}

TEST(ZelkctlCommandLine, ChoosesTheCommandOrHelpByTheTable) {
    EXPECT_EQ(Choose({"check", "x"}).chosen, 1);
    EXPECT_FALSE(Choose({"check", "x"}).help);
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"/?"}, {"help"}}) {
        const Choice c = Choose(arguments);
        EXPECT_TRUE(c.help && c.chosen == -1 && c.error.empty()) << Joined(arguments);
    }
    const Choice topic = Choose({"help", "timeline"});
    EXPECT_TRUE(topic.help);
    EXPECT_EQ(topic.chosen, 3);
    EXPECT_EQ(Choose({}).error, "no command given: status, check, history or timeline");
    EXPECT_EQ(Choose({"stat"}).error,
              "unknown command \"stat\": the commands are status, check, history and timeline");
    EXPECT_EQ(Choose({"help", "nope"}).error,
              "no help on \"nope\": the commands are status, check, history and timeline");
    EXPECT_NE(Choose({"--help=x"}).error, "");

    const std::string help = ToolHelp(kCommands, std::size(kCommands));
    EXPECT_EQ(help.find("Usage: zelkctl COMMAND [OPTIONS]\n"), 0u);
    for (const char* summary : {"\n  status [--config", "\n  check [PATH]\n",
                                "\n  history [--config", "\n  timeline [--config"}) {
        EXPECT_NE(help.find(summary), std::string::npos) << summary;
    }
}

TEST(ZelkctlCommandLine, StatusAndCheckReadEveryValidCommandLine) {
    struct Case {
        std::vector<std::string> arguments;
        bool help;
        std::string config;
        std::string snapshot;
        bool watch;
        int seconds;
    };
    const Case cases[] = {
        {{"status"}, false, "", "", false, 2},
        {{"status", "--config", "c.xml", "--watch"}, false, "c.xml", "", true, 2},
        {{"status", "--file=s.prom", "--watch", "5"}, false, "", "s.prom", true, 5},
        {{"status", "--watch=3600"}, false, "", "", true, 3600},
        {{"status", "--watch", "--config=c"}, false, "c", "", true, 2},
        {{"status", "--help"}, true, "", "", false, 2},
    };
    for (const Case& c : cases) {
        StatusOptions o;
        std::string error;
        EXPECT_TRUE(ParseStatusOptions(c.arguments, &o, &error)) << Joined(c.arguments) << error;
        EXPECT_EQ(o.help, c.help) << Joined(c.arguments);
        EXPECT_EQ(o.configPath, c.config) << Joined(c.arguments);
        EXPECT_EQ(o.snapshotPath, c.snapshot) << Joined(c.arguments);
        EXPECT_EQ(o.watch, c.watch) << Joined(c.arguments);
        EXPECT_EQ(o.watchSeconds, c.seconds) << Joined(c.arguments);
    }
    CheckOptions check;
    std::string error;
    EXPECT_TRUE(ParseCheckOptions({"check", "x y.xml"}, &check, &error));
    EXPECT_EQ(check.configPath, "x y.xml");
    EXPECT_TRUE(ParseCheckOptions({"check", "-h"}, &check, &error) && check.help);
}

TEST(ZelkctlCommandLine, StatusAndCheckRejectBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
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
    };
    for (const auto& arguments : bad) {
        EXPECT_NE(ErrorOf(ParseStatusOptions, arguments), "") << Joined(arguments);
    }
    EXPECT_EQ(ErrorOf(ParseStatusOptions, {"status", "--config"}), "--config needs a path");
    EXPECT_EQ(ErrorOf(ParseStatusOptions, {"status", "-x"}), "unknown option -x of status");
    EXPECT_EQ(ErrorOf(ParseStatusOptions, {"status", "x"}), "unexpected argument \"x\" of status");
    EXPECT_EQ(ErrorOf(ParseCheckOptions, {"check", "a", "b"}),
              "check takes one path, not also \"b\"");
    EXPECT_EQ(ErrorOf(ParseCheckOptions, {"check", "--bogus"}), "unknown option --bogus of check");
    EXPECT_EQ(ErrorOf(ParseCheckOptions, {"check", ""}), "check needs a path that is not empty");
}

TEST(ZelkctlCommandLine, HelpTellsEveryOptionAndExitCode) {
    const std::string status = StatusHelp();
    EXPECT_EQ(status.find("Usage: zelkctl status "), 0u);
    for (const std::string& text :
         {std::string("--config PATH"), std::string("--file PATH"),
          std::string("--watch [SECONDS]"), std::string("  0 "), std::string("  1 "),
          std::string("  2 "), std::string("  3 "), std::to_string(kStaleSeconds) + " seconds",
          std::string("not watched")}) {
        EXPECT_NE(status.find(text), std::string::npos) << text;
    }
    EXPECT_EQ(CheckHelp().find("Usage: zelkctl check [PATH]"), 0u);
    for (const std::string& help : {HistoryHelp(), TimelineHelp()}) {
        for (const char* option : {"--config PATH", "--journal FOLDER", "--app NAME"}) {
            EXPECT_NE(help.find(option), std::string::npos) << option;
        }
    }
}

TEST(ZelkctlCommandLine, ReadsTheJournalCommands) {
    HistoryOptions h;
    std::string error;
    ASSERT_TRUE(ParseHistoryOptions(
        {"history", "--journal", "j", "--app", "a", "--app=b c", "--since", "2026-12-09 03:00",
         "--until=-2h", "--event", "terminated", "--event=train", "--json"},
        &h, &error))
        << error;
    EXPECT_EQ(h.journal.journalFolder, "j");
    EXPECT_EQ(h.journal.apps, (std::vector<std::string>{"a", "b c"}));
    EXPECT_EQ(h.since, "2026-12-09 03:00");
    EXPECT_EQ(h.until, "-2h");
    EXPECT_EQ(h.events, (std::vector<std::string>{"terminated", "train"}));
    EXPECT_TRUE(h.json);

    TimelineOptions t;
    ASSERT_TRUE(ParseTimelineOptions(
        {"timeline", "--config=c.xml", "--day", "2026-10-25", "--output", "d.SVG"}, &t, &error));
    EXPECT_EQ(t.journal.configPath, "c.xml");
    EXPECT_EQ(t.day, "2026-10-25");
    EXPECT_FALSE(t.outputHtml);
    EXPECT_EQ(t.fromMinute, 0);
    EXPECT_EQ(t.toMinute, 24 * 60);
    t = TimelineOptions();
    EXPECT_TRUE(ParseTimelineOptions({"timeline", "--output", "day.Html"}, &t, &error));
    EXPECT_TRUE(t.outputHtml);
    t = TimelineOptions();
    ASSERT_TRUE(ParseTimelineOptions({"timeline", "--from", "03:00", "--to=03:01"}, &t, &error));
    EXPECT_EQ(t.fromMinute, 180);
    EXPECT_EQ(t.toMinute, 181);
    t = TimelineOptions();
    ASSERT_TRUE(ParseTimelineOptions({"timeline", "--from=23:59"}, &t, &error));
    EXPECT_EQ(t.toMinute, 24 * 60);
    EXPECT_EQ(ErrorOf(ParseTimelineOptions, {"timeline", "--to", "24:00", "--from", "00:00"}), "");
}

TEST(ZelkctlCommandLine, TheJournalCommandsRejectBadCommandLines) {
    const std::vector<std::vector<std::string>> history = {
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
        {"history", "--from", "03:00"},
    };
    for (const auto& arguments : history) {
        EXPECT_NE(ErrorOf(ParseHistoryOptions, arguments), "") << Joined(arguments);
    }
    const std::vector<std::vector<std::string>> timeline = {
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
        {"timeline", "--journal", "a", "--journal", "b"},
    };
    for (const auto& arguments : timeline) {
        EXPECT_NE(ErrorOf(ParseTimelineOptions, arguments), "") << Joined(arguments);
    }
    EXPECT_NE(ErrorOf(ParseHistoryOptions, {"history", "--event", "exploded"}).find("terminated"),
              std::string::npos);
    EXPECT_EQ(ErrorOf(ParseHistoryOptions, {"history", "--app"}), "--app needs a value");
    EXPECT_EQ(ErrorOf(ParseTimelineOptions, {"timeline", "--from", "04:00", "--to", "03:00"}),
              "--from 04:00 must come at least a minute before --to 03:00");
    EXPECT_EQ(ErrorOf(ParseTimelineOptions, {"timeline", "--journal", "a", "--journal", "b"}),
              "--journal given twice");
}

TEST(ControlOptions, PauseResumeAndRestartNeedWhatTheyRecord) {
    ControlOptions o;
    o.request.op = ControlOp::kPause;
    std::string error;
    ASSERT_TRUE(
        ParseControlOptions({"pause", "Recorder", "--reason", "update", "--for", "2h"}, &o, &error))
        << error;
    EXPECT_EQ(o.request.app, "Recorder");
    EXPECT_EQ(o.request.seconds, 7200);
    struct Case {
        ControlOp op;
        std::vector<std::string> arguments;
    };
    const Case bad[] = {
        {ControlOp::kPause, {"pause", "Recorder"}},                           // no reason
        {ControlOp::kPause, {"pause", "--reason", "r"}},                      // no application
        {ControlOp::kPause, {"pause", "a", "--reason", "r", "--for", "2w"}},  // no such unit
        {ControlOp::kPause, {"pause", "a", "b", "--reason", "r"}},            // two applications
        {ControlOp::kResume, {"resume", "a", "--reason", "r"}},               // resume takes none
        {ControlOp::kRestart, {"restart", "a", "--reason", "r", "--for", "1h"}},
        {ControlOp::kReload, {"reload", "a"}},  // reload names none
        {ControlOp::kPause, {"pause", "a", "--reason", "r", "--dry-run"}},
    };
    for (const Case& c : bad) {
        ControlOptions options;
        options.request.op = c.op;
        EXPECT_FALSE(ParseControlOptions(c.arguments, &options, &error)) << Joined(c.arguments);
    }
    ControlOptions reload;
    reload.request.op = ControlOp::kReload;
    ASSERT_TRUE(ParseControlOptions({"reload", "--dry-run"}, &reload, &error)) << error;
    EXPECT_TRUE(reload.request.dryRun);
    EXPECT_EQ(FormatControlRequest(reload.request), R"({"v":1,"op":"reload","dryRun":true})");
    ControlAnswer answer;
    answer.changes = {{"Recorder", "changed", {"port", "ip"}}, {"Old", "removed", {}}};
    answer.settings = {"journal"};
    EXPECT_EQ(ReloadDetails(answer),
              "  changed  Recorder (port, ip)\n"
              "  removed  Old: its processes are left running\n"
              "  <journal> settings changed\n");
    EXPECT_EQ(ParseDuration("90"), 90);
    EXPECT_EQ(ParseDuration("30m"), 1800);
    EXPECT_EQ(ParseDuration("1d"), 86400);
    EXPECT_EQ(ParseDuration("-5s"), 0);
    EXPECT_EQ(ParseDuration("h"), 0);
}

}  // namespace
}  // namespace zelkctl
