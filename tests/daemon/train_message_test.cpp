#include "supervision/train_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "watchdog_fakes.h"

namespace {

using testing_support::FakeClock;
using testing_support::FakeCounter;
using testing_support::RecordedLog;
using testing_support::RecordingShell;

TEST(MakeTrainKey, RemovesBlanksHyphensAndColonsOnly) {
    struct Case {
        const char* time;
        const char* key;
    };
    const Case cases[] = {
        {"a-b c:d", "abcd"},
        {"2026-12-08 10:00:00", "20261208100000"},
        {"20261208100000", "20261208100000"},
        {"", ""},
        {" - : ", ""},
        {"a_b.c\td", "a_b.c\td"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeTrainKey(c.time), c.key) << c.time;
    }
}

TEST(ReadTrainMessage, FindsTheKeyAndTheSerialOfVehicleOne) {
    struct Case {
        const char* name;
        std::string message;
        bool hasTime;
        std::string key;
        std::string serial;
    };
    const Case cases[] = {
        {"plain",
         "<train><time>2026-12-08 10:00:00</time><vagen id=\"1\"><serial>S1</serial></vagen>"
         "<vagen id=\"2\"><serial>S2</serial></vagen></train>",
         true, "20261208100000", "S1"},
        {"last vehicle one with a serial wins",
         "<train><time>t</time><vagen id=\"1\"><serial>A</serial></vagen>"
         "<vagen id=\"1\"><serial>B</serial></vagen><vagen id=\"1\"/></train>",
         true, "t", "B"},
        {"id 01 and blank-one count as one",
         "<train><time>t</time><vagen id=\"01\"><serial>A</serial></vagen>"
         "<vagen id=\" 1\"><serial>B</serial></vagen></train>",
         true, "t", "B"},
        {"id 01", "<train><time>t</time><vagen id=\"01\"><serial>A</serial></vagen></train>", true,
         "t", "A"},
        {"missing or other ids",
         "<train><time>t</time><vagen><serial>A</serial></vagen><vagen id=\"x\">"
         "<serial>B</serial></vagen><vagen id=\"11\"><serial>C</serial></vagen></train>",
         true, "t", ""},
        {"vehicle before time is not seen",
         "<train><vagen id=\"1\"><serial>A</serial></vagen><time>t</time></train>", true, "t", ""},
        {"vehicle one without serial",
         "<train><time>t</time><vagen id=\"1\"><other>x</other></vagen></train>", true, "t", ""},
        {"handshake before the train",
         "<handshake>h</handshake><train><time>1-2</time><vagen id=\"1\"><serial>S</serial>"
         "</vagen></train>",
         true, "12", "S"},
        {"declaration first", "<?xml version=\"1.0\"?>\r\n<train>\r\n <time>1:2</time>\r\n</train>",
         true, "12", ""},
        {"no train", "<handshake></handshake><other><time>1</time></other>", false, "", ""},
        {"train without time", "<train><vagen id=\"1\"><serial>S</serial></vagen></train>", false,
         "", ""},
        {"empty time", "<train><time></time></train>", true, "", ""},
        {"escaped time", "<train><time>a&amp;b</time></train>", true, "a&b", ""},
        // The engine ends an unended element at its start tag: "serial" is
        // then no child of the vehicle.
        {"not well-formed: unended vehicle",
         "<train><time>t</time><vagen id=\"1\"><serial>S</serial></train>", true, "t", ""},
        {"not well-formed: second top-level element",
         "<train><time>t</time><vagen id=\"1\"><serial>S</serial></vagen></train><x>", true, "t",
         "S"},
        {"not well-formed: garbage", "</train>", false, "", ""},
        {"empty", "", false, "", ""},
    };
    for (const Case& c : cases) {
        TrainReport report = ReadTrainMessage(c.message);
        EXPECT_EQ(report.hasTime, c.hasTime) << c.name;
        EXPECT_EQ(report.trainKey, c.key) << c.name;
        EXPECT_EQ(report.vehicleSerial, c.serial) << c.name;
    }
}

struct HandleFixture : ::testing::Test {
    AppConfig config;
    RecordedLog log{config};
    FakeCounter counter;
    RecordingShell shell;
    FakeClock clock;
    TrainServices services{counter, shell, clock, log.sink};
    CommandState state;
    std::string console;

    void SetUp() override {
        config.name = "app";
        config.subAppName = "sub";
        config.stopPath = "stop";
        config.startPath = "start";
        config.picMonitor = "P\\";
        config.fileMonitor[0] = "X\\";
    }
    void Handle(const std::string& time, const std::string& serial = "S") {
        const size_t before = log.Console().size();
        HandleTrainMessage("<train><time>" + time + "</time><vagen id=\"1\"><serial>" + serial +
                               "</serial></vagen></train>",
                           config, 10035, state, services);
        console = log.Console().substr(before);
    }
};

TEST_F(HandleFixture, MismatchRunsTheUninstallCommand) {
    counter.pictures = 3;
    counter.xmlFiles = 1;
    Handle("2026-12-08 10:00:00");
    EXPECT_EQ(counter.folders, (std::vector<std::string>{"P\\20261208100000", "X\\"}));
    EXPECT_EQ(shell.commands, (std::vector<std::string>{"stop"}));
    EXPECT_TRUE(state.UninstallPending());
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "TRACE|CDaemon::DaemonThread|10035|app recv train date:20261208100000");
    EXPECT_EQ(lines[2], "FATAL|CDaemon::DaemonThread|0|uninstall:sub cmd:");
    EXPECT_EQ(console,
              "app ==> recv:20261208100000\nfind pic count:3 != find file count:1\n"
              "uninstall zlek services!\n");
}

TEST_F(HandleFixture, MatchingFilesRunNothing) {
    counter.pictures = 2;
    counter.xmlFiles = 2;
    Handle("1");
    EXPECT_TRUE(shell.commands.empty());
    EXPECT_FALSE(state.UninstallPending());
    EXPECT_EQ(log.Lines().size(), 1u);
}

TEST_F(HandleFixture, KeyThatCouldLeaveThePictureFolderNeverReachesTheFiles) {
    counter.pictures = 3;
    counter.xmlFiles = 1;
    for (const char* time : {"..\\..\\Windows", "../etc", "a\\b", "a/b", "..", "x..y"}) {
        Handle(time);
        EXPECT_TRUE(counter.folders.empty()) << time;
    }
    EXPECT_TRUE(shell.commands.empty());
    EXPECT_TRUE(clock.sleeps.empty());
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "TRACE|CDaemon::DaemonThread|10035|app recv train date:..\\..\\Windows");
    EXPECT_EQ(
        lines[1].rfind("FATAL|CDaemon::DaemonThread|0|app refused train key ..\\..\\Windows", 0),
        0u)
        << lines[1];
}

TEST_F(HandleFixture, ControlCharactersInTheKeyCannotForgeLogLines) {
    counter.pictures = 1;
    counter.xmlFiles = 1;
    Handle("1\r\n--FATAL-- [Tue Dec 08 10:00:00 2026]  [Line:0001]  X : 0 , forged&#10;2");
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("date:1\\x0D\\x0AFATAL"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("forged\\x0A2"), std::string::npos) << lines[0];
    EXPECT_EQ(console.find('\r'), std::string::npos);
    // The key itself reaches the file checks unchanged.
    ASSERT_EQ(counter.folders.size(), 2u);
    EXPECT_NE(counter.folders[0].find("\r\n"), std::string::npos);
}

TEST_F(HandleFixture, MessageWithoutTimeIsIgnoredSilently) {
    HandleTrainMessage("<train><vagen id=\"1\"/></train>", config, 0, state, services);
    EXPECT_EQ(log.Console(), "");
    EXPECT_TRUE(counter.folders.empty());
    EXPECT_TRUE(log.Lines().empty());
}

TEST(IsSafeTrainKey, RefusesKeysThatCouldLeaveOrNameThePictureFolder) {
    struct Case {
        const char* key;
        bool safe;
    };
    const Case cases[] = {
        {"20261208100000", true},
        {"", true},
        {"abc.d", true},
        {"a.b.c", true},
        {"..", false},
        {".", false},
        {".x", true},
        {"..\\..\\x", false},
        {"a\\b", false},
        {"a/b", false},
        {"/etc", false},
        {"x..y", false},
        {"\\\\server\\s", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSafeTrainKey(c.key), c.safe) << c.key;
    }
}

}  // namespace
