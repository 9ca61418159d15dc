// The administrator events: the table's rows and texts, and the rate limit
// of the reporter on a fake clock.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "daemon/admin_event_output.h"
#include "supervision/admin_event_mapping.h"
#include "supervision/admin_event_reporter.h"
#include "supervision/admin_events.h"

namespace {

// Each text must read the same through FormatMessage and through the
// journal's formatter: %1 to %N each used, nothing the message file would
// read as a format or an escape.
TEST(AdminEventTable, TextsUseExactlyTheirInsertsAndNothingTheMessageFileReads) {
    std::set<std::string> names;
    for (const AdminEventKind& kind : AdminEventKinds()) {
        SCOPED_TRACE(kind.id);
        EXPECT_EQ(FindAdminEventKind(kind.id), &kind);
        EXPECT_TRUE(names.insert(kind.name).second) << "symbolic name used twice";
        std::set<int> used;
        std::string text = kind.text;
        for (std::size_t i = 0; i < text.size(); ++i) {
            EXPECT_NE(text[i], '"');
            EXPECT_NE(text[i], '\\');
            EXPECT_NE(text[i], ';');  // the build's list separator
            EXPECT_GE(static_cast<unsigned char>(text[i]), 0x20);
            if (text[i] != '%') {
                continue;
            }
            ASSERT_LT(i + 1, text.size());
            ASSERT_TRUE(text[i + 1] >= '1' && text[i + 1] <= '9') << "a percent sign not an insert";
            used.insert(text[i + 1] - '0');
            if (i + 2 < text.size()) {
                EXPECT_FALSE(text[i + 2] >= '0' && text[i + 2] <= '9') << "a digit after an insert";
                EXPECT_NE(text[i + 2], '!') << "an exclamation mark after an insert";
            }
        }
        EXPECT_EQ(static_cast<int>(used.size()), kind.insertCount);
        if (!used.empty()) {
            EXPECT_EQ(*used.rbegin(), kind.insertCount);
        }
        // The summary of held-back events names the application from the
        // first insert of the application bands.
        if (kind.id >= 2000) {
            EXPECT_EQ(std::string(kind.insertNames).rfind("app,", 0) == 0 ||
                          std::string(kind.insertNames) == "app",
                      true)
                << kind.insertNames;
        }
    }
}

TEST(AdminEventTable, IdsOutsideTheTableAreNotFound) {
    for (uint32_t id : {0u, 1000u, 1009u, 9999u}) {
        EXPECT_EQ(FindAdminEventKind(id), nullptr) << id;
    }
}

TEST(AdminEventTable, TextTakesInsertsAsTheyAre) {
    const AdminEventKind& launched = *FindAdminEventKind(3002);
    EXPECT_EQ(FormatAdminEventText(launched, {"rec.exe", "C:\\rec\\rec.exe --x %2", "1"}),
              "The application rec.exe was launched in session 1: C:\\rec\\rec.exe --x %2");
    // A missing insert is empty.
    EXPECT_EQ(FormatAdminEventText(launched, {"rec.exe"}),
              "The application rec.exe was launched in session : ");
}

TEST(AdminEventTable, JournalLineIsOneLine) {
    AdminEntry entry{FindAdminEventKind(1005), -1, {"2", "first finding\nsecond finding"}};
    EXPECT_EQ(AdminEventLine(entry),
              "event 1005: The configuration has 2 pitfalls (zelkctl check lists the same): "
              "first finding; second finding");
}

struct Recorder : AdminEventSink {
    std::vector<AdminEntry> entries;
    void Write(const AdminEntry& entry) override { entries.push_back(entry); }
    // "id app insert|insert|..."
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const AdminEntry& e : entries) {
            std::string line = std::to_string(e.kind->id) + " " + std::to_string(e.app);
            for (std::size_t i = 0; i < e.inserts.size(); ++i) {
                line += (i == 0 ? " " : "|") + e.inserts[i];
            }
            lines.push_back(line);
        }
        return lines;
    }
};

struct ReporterTest : ::testing::Test {
    int64_t now = 1000;
    Recorder sink;
    AdminEventReporter reporter{[this] { return now; }};
    void SetUp() override { reporter.SetSink(&sink); }

    AdminOutcome Silent(int app, const std::string& waits = "30") {
        return reporter.Report(AdminEventId::kAppSilent, app,
                               {"app" + std::to_string(app), "127.0.0.1:9000", waits});
    }
};

TEST_F(ReporterTest, OneEventAMinuteThenASummaryBeforeTheNext) {
    EXPECT_EQ(Silent(0), AdminOutcome::kWritten);
    for (int i = 0; i < 5; ++i) {
        now += 10 * 1000;
        EXPECT_EQ(Silent(0), AdminOutcome::kHeldBack);
    }
    now += 9999;  // 59.999 s after the first
    EXPECT_EQ(Silent(0), AdminOutcome::kHeldBack);
    now += 1;
    EXPECT_EQ(Silent(0, "60"), AdminOutcome::kWritten);
    EXPECT_EQ(sink.Lines(), (std::vector<std::string>{
                                "2002 0 app0|127.0.0.1:9000|30",
                                "1006 0 6|2002|the application app0",
                                "2002 0 app0|127.0.0.1:9000|60",
                            }));
    // The minute starts again from the last event written.
    now += 30 * 1000;
    EXPECT_EQ(Silent(0), AdminOutcome::kHeldBack);
}

TEST_F(ReporterTest, EachApplicationAndKindHasItsOwnMinute) {
    EXPECT_EQ(Silent(0), AdminOutcome::kWritten);
    EXPECT_EQ(Silent(1), AdminOutcome::kWritten);
    EXPECT_EQ(reporter.Report(AdminEventId::kAppTerminated, 0, {"app0", "silent, 30 waits", "1"}),
              AdminOutcome::kWritten);
    EXPECT_EQ(reporter.Report(AdminEventId::kServiceStarted, -1, {"1.0.0", "2"}),
              AdminOutcome::kWritten);
    EXPECT_EQ(Silent(1), AdminOutcome::kHeldBack);
    EXPECT_EQ(sink.entries.size(), 4u);
}

TEST_F(ReporterTest, SummariesComeWhenTheMinuteIsOverOrAtTheFlush) {
    Silent(0);
    Silent(0);
    reporter.Report(AdminEventId::kServiceStopping, -1, {});
    reporter.Report(AdminEventId::kServiceStopping, -1, {});
    reporter.Report(AdminEventId::kServiceStopping, -1, {});
    now += 59 * 1000;
    reporter.ReportHeldBack();
    EXPECT_EQ(sink.entries.size(), 2u);
    now += 1000;
    reporter.ReportHeldBack();
    reporter.ReportHeldBack();  // nothing held any more
    EXPECT_EQ(sink.Lines(), (std::vector<std::string>{
                                "2002 0 app0|127.0.0.1:9000|30",
                                "1002 -1",
                                "1006 -1 2|1002|the service",
                                "1006 0 1|2002|the application app0",
                            }));
    // After a summary on the tick, the next event is written at once.
    EXPECT_EQ(Silent(0), AdminOutcome::kWritten);

    now += 1000;
    Silent(0);
    reporter.FlushHeldBack();
    EXPECT_EQ(sink.Lines().back(), "1006 0 1|2002|the application app0");
    reporter.FlushHeldBack();
    EXPECT_EQ(sink.entries.size(), 6u);
}

TEST_F(ReporterTest, InsertsAreMadeToFitTheKind) {
    // Extra inserts are left out, missing ones are empty: a message file
    // must never read an insert that was not passed.
    reporter.Report(AdminEventId::kNoInteractiveUser, 3, {"a", "extra"});
    reporter.Report(AdminEventId::kLaunchFailed, 3, {"a"});
    // Control characters cannot end a journal line or forge another.
    reporter.Report(AdminEventId::kConfigPitfalls, -1, {"2", "one\r\ntwo\tthree\x1b[31m"});
    std::string longName(kAdminInsertMaxBytes - 1, 'x');
    longName += "\xC3\xA9\xC3\xA9";  // a two-byte character across the cut
    reporter.Report(AdminEventId::kUserLoggedOn, 4, {longName});
    ASSERT_EQ(sink.entries.size(), 4u);
    EXPECT_EQ(sink.entries[0].inserts, std::vector<std::string>{"a"});
    EXPECT_EQ(sink.entries[1].inserts, (std::vector<std::string>{"a", "", "", ""}));
    EXPECT_EQ(sink.entries[2].inserts[1], "one\ntwo three [31m");
    const std::string& cut = sink.entries[3].inserts[0];
    EXPECT_EQ(cut, std::string(kAdminInsertMaxBytes - 1, 'x') + "...");
}

TEST_F(ReporterTest, WithoutASinkOrAKnownIdNothingIsWrittenOrCounted) {
    EXPECT_EQ(reporter.Report(static_cast<AdminEventId>(1999), 0, {}), AdminOutcome::kUnknownId);
    reporter.SetSink(nullptr);
    EXPECT_EQ(Silent(0), AdminOutcome::kNoSink);
    EXPECT_EQ(Silent(0), AdminOutcome::kNoSink);
    reporter.SetSink(&sink);
    EXPECT_EQ(Silent(0), AdminOutcome::kWritten);
    reporter.FlushHeldBack();
    EXPECT_EQ(sink.entries.size(), 1u);
}

TEST(AdminEventReporter, ThreadsReportingAtOnceLoseNoCount) {
    Recorder sink;
    AdminEventReporter reporter([] { return int64_t{0}; });
    reporter.SetSink(&sink);
    constexpr int kThreads = 8;
    constexpr int kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&reporter] {
            for (int i = 0; i < kEach; ++i) {
                reporter.Report(AdminEventId::kAppReadsFailing, 2, {"app", "ip:1", "11"});
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    reporter.FlushHeldBack();
    EXPECT_EQ(sink.Lines(),
              (std::vector<std::string>{
                  "2003 2 app|ip:1|11",
                  "1006 2 " + std::to_string(kThreads * kEach - 1) + "|2003|the application app",
              }));
}

// The supervisor's events as the administrator hears of them: transitions
// only, with their inserts; the passes between them say nothing.
TEST_F(ReporterTest, TheHubsEventsMapToTheTable) {
    AdminEventMapping mapping(reporter,
                              [](int32_t code) { return "text " + std::to_string(code); });
    AppIdentity app;
    app.index = 2;
    app.name = "rec";
    app.endpoint = "127.0.0.1:9000";
    app.subApp = "sub";
    namespace ev = watchdog_event;
    mapping.OnDaemonEvent(daemon_event::Started{3, "1.0.0"}, 0);
    mapping.OnAppEvent(app, ev::Connected{0}, 0);  // first: no event
    for (int wait = 1; wait <= 30; ++wait) {
        mapping.OnAppEvent(app, ev::SilentWait{wait}, 0);
    }
    mapping.OnAppEvent(app, ev::Terminate{Cycle::kSilent, 30}, 0);
    // Every dump written; one not made only as its streak begins.
    mapping.OnAppEvent(app, ev::Evidence{"/e/rec_1.dmp", 4096, 5, EvidenceResult::kWritten}, 0);
    mapping.OnAppEvent(app, ev::Evidence{"/e/rec_2.dmp", 0, 3, EvidenceResult::kFailed, 28, true},
                       0);
    mapping.OnAppEvent(app, ev::Evidence{"", 0, 0, EvidenceResult::kNotAvailable, 0, false}, 0);
    mapping.OnAppEvent(app, ev::Terminated{Cycle::kSilent, 1, 1}, 0);
    const ev::Launched noUser{Cycle::kSilent, false, 1008, 0, false, "rec.exe"};
    mapping.OnAppEvent(app, noUser, 0);
    mapping.OnAppEvent(app, noUser, 0);  // the streak goes on: said once
    mapping.OnAppEvent(app, ev::Launched{Cycle::kFailing, false, 2, 0, true, "rec.exe"}, 0);
    mapping.OnAppEvent(app, ev::Connected{4}, 0);
    mapping.OnAppEvent(app, ev::Mismatch{"20261209031415", 3, 1}, 0);
    mapping.OnAppEvent(app, ev::Uninstall{"uninstall.bat"}, 0);
    mapping.OnAppEvent(app, ev::ThreadNotStarted{}, 0);
    mapping.OnDaemonEvent(daemon_event::Stopping{}, 0);
    EXPECT_EQ(sink.Lines(), (std::vector<std::string>{
                                "1001 -1 1.0.0|3",
                                "2002 2 rec|127.0.0.1:9000|30",
                                "3006 2 rec|/e/rec_1.dmp|4096",
                                "3007 2 rec|error 28: text 28",
                                "3001 2 rec|30 silent waits|1",
                                "3004 2 rec",
                                "3005 2 rec",
                                "3003 2 rec|rec.exe|2|text 2",
                                "2001 2 rec|127.0.0.1:9000",
                                "4001 2 rec|20261209031415|3|1",
                                "4002 2 rec|sub|uninstall.bat",
                                "2004 2 rec|127.0.0.1:9000",
                                "1002 -1",
                            }));
}

// Control requests: each granted action its own ID, a refusal for want of
// rights one too, a reload applied or refused its own; other refusals,
// status requests and dry runs none.
TEST_F(ReporterTest, ControlRequestsMapToTheirOwnIds) {
    AdminEventMapping mapping(reporter, [](int32_t) { return std::string(); });
    using daemon_event::Control;
    mapping.OnDaemonEvent(Control{"root", "pause", 2, "rec", "update", 1, "10:00", true, "", "ok"},
                          0);
    mapping.OnDaemonEvent(Control{"root", "status", -1, "", "", 0, "", true, "", "ok"}, 0);
    mapping.OnDaemonEvent(Control{"root", "pause", -1, "x", "r", 0, "", false, "unknown_app", "no"},
                          0);
    mapping.OnDaemonEvent(Control{"", "pause_ended", 2, "rec", "update", 0, "", true, "", "end"},
                          0);
    mapping.OnDaemonEvent(Control{"root", "restart", 2, "rec", "hung", 0, "", true, "", "ok"}, 0);
    mapping.OnDaemonEvent(Control{"root", "resume", 2, "rec", "", 0, "", true, "", "ok"}, 0);
    mapping.OnDaemonEvent(
        Control{"nobody", "resume", -1, "rec", "", 0, "", false, "denied", "refused: no"}, 0);
    mapping.OnDaemonEvent(Control{"root", "reload", -1, "", "", 0, "", true, "", "added b"}, 0);
    mapping.OnDaemonEvent(Control{"root", "reload_dry_run", -1, "", "", 0, "", true, "", "w"}, 0);
    mapping.OnDaemonEvent(
        Control{"root", "reload", -1, "", "", 0, "", false, "config_error", "not loaded"}, 0);
    mapping.OnAppEvent(AppIdentity{2, "rec", "127.0.0.1:9000", "sub"},
                       watchdog_event::Terminated{Cycle::kNone, 1, 1}, 0);
    EXPECT_EQ(sink.Lines(), (std::vector<std::string>{
                                "5001 2 rec|root|10:00|update",
                                "5003 2 rec|update",
                                "5004 2 rec|root|hung",
                                "5002 2 rec|root",
                                "5005 -1 rec|nobody|resume|refused: no",
                                "1007 -1 root|added b",
                                "1008 -1 root|not loaded",
                                "3001 2 rec|a restart an operator asked for|1",
                            }));
}

}  // namespace
