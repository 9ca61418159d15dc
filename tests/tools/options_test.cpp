#include "trackside-sim/options.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

Options Parse(const std::vector<std::string>& arguments) {
    ParseResult r = ParseOptions(arguments);
    EXPECT_EQ(r.error, "");
    return r.options;
}

TEST(Options, DefaultsGiveEqualFileCountsAndNoFault) {
    Options o = Parse({});
    EXPECT_EQ(o.port, 7000);
    EXPECT_EQ(o.address, "127.0.0.1");
    EXPECT_EQ(o.picturesPerTrain, o.xmlFilesPerTrain);
    EXPECT_EQ(o.silentAfterMs, kNever);
    EXPECT_EQ(o.closeAfterMs, kNever);
    EXPECT_EQ(o.exitAfterMs, kNever);
    EXPECT_FALSE(o.neverSend || o.garbage || o.help);
}

TEST(Options, ReadsEveryOptionInBothSpellings) {
    Options o = Parse({"--port",
                       "7101",
                       "--address=0.0.0.0",
                       "--handshake-interval",
                       "0.5",
                       "--train-interval=12",
                       "--picture-dir",
                       "/d/p",
                       "--xml-dir=/d/x",
                       "--pictures",
                       "4",
                       "--xml-files=1",
                       "--vehicles",
                       "6",
                       "--serial=",
                       "--silent-after",
                       "1.25",
                       "--close-after=2",
                       "--exit-after",
                       "3.007",
                       "--never-send",
                       "--garbage",
                       "--stop-file",
                       "/d/stop",
                       "--log=/d/log",
                       "--help"});
    EXPECT_EQ(o.port, 7101);
    EXPECT_EQ(o.address, "0.0.0.0");
    EXPECT_EQ(o.handshakeIntervalMs, 500);
    EXPECT_EQ(o.trainIntervalMs, 12000);
    EXPECT_EQ(o.pictureFolder, "/d/p");
    EXPECT_EQ(o.xmlFolder, "/d/x");
    EXPECT_EQ(o.picturesPerTrain, 4);
    EXPECT_EQ(o.xmlFilesPerTrain, 1);
    EXPECT_EQ(o.vehiclesPerTrain, 6);
    EXPECT_EQ(o.serial, "");
    EXPECT_EQ(o.silentAfterMs, 1250);
    EXPECT_EQ(o.closeAfterMs, 2000);
    EXPECT_EQ(o.exitAfterMs, 3007);
    EXPECT_TRUE(o.neverSend && o.garbage && o.help);
    EXPECT_EQ(o.stopFile, "/d/stop");
    EXPECT_EQ(o.logFile, "/d/log");
}

TEST(Options, XmlFilesFollowPicturesUnlessGiven) {
    EXPECT_EQ(Parse({"--pictures", "5"}).xmlFilesPerTrain, 5);
    EXPECT_EQ(Parse({"--xml-files", "2", "--pictures", "5"}).xmlFilesPerTrain, 2);
    EXPECT_EQ(Parse({"--train-interval", "0"}).trainIntervalMs, 0);
}

TEST(Options, RejectsBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"port"},
        {"--port"},
        {"--port", "0"},
        {"--port", "65536"},
        {"--port", "-1"},
        {"--port", "80x"},
        {"--port", ""},
        {"--port", "99999999999999999999"},
        {"--handshake-interval", "0"},
        {"--handshake-interval", "0.05"},
        {"--handshake-interval", "1.2345"},
        {"--handshake-interval", "."},
        {"--handshake-interval", "1."},
        {"--handshake-interval", "-1"},
        {"--train-interval", "0.5"},
        {"--exit-after", "soon"},
        {"--pictures", "1000"},
        {"--never-send=yes"},
    };
    for (const auto& arguments : bad) {
        ParseResult r = ParseOptions(arguments);
        EXPECT_NE(r.error, "") << arguments[0] << " " << (arguments.size() > 1 ? arguments[1] : "");
    }
}

TEST(Options, HelpNamesEveryOption) {
    std::string help = HelpText("sim");
    for (const char* name : {"--address", "--port", "--handshake-interval", "--train-interval",
                             "--picture-dir", "--xml-dir", "--pictures", "--xml-files",
                             "--vehicles", "--serial", "--log", "--stop-file", "--silent-after",
                             "--close-after", "--exit-after", "--never-send", "--garbage"}) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(help.find("Usage: sim "), 0u);
}

}  // namespace
}  // namespace sim
