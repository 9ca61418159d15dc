#include "trackside-sim/messages.h"

#include <gtest/gtest.h>

#include "trackside-sim/event_line.h"

namespace sim {
namespace {

TEST(TimeText, PadsEveryField) {
    std::tm t = {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 8;
    t.tm_hour = 4;
    t.tm_min = 3;
    t.tm_sec = 7;
    EXPECT_EQ(TimeText(t), "2026-01-08 04:03:07");
}

TEST(TrainKey, DropsBlanksHyphensAndColonsOnly) {
    struct Case {
        const char* time;
        const char* key;
    } cases[] = {
        {"2026-12-08 14:03:27", "20261208140327"},
        {"a-b c:d", "abcd"},
        {"20261208", "20261208"},
        {"", ""},
        {"12.08/26\t14h", "12.08/26\t14h"},
        {" - : ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrainKey(c.time), c.key) << c.time;
    }
}

TEST(HandshakeMessage, EndsWithTheClosingTagAndNothingAfterIt) {
    std::string m = HandshakeMessage("2026-12-08 14:03:27", 7);
    EXPECT_EQ(m, "<handshake><time>2026-12-08 14:03:27</time><seq>7</seq></handshake>");
    // The supervisor takes a train for any text holding "</train>".
    EXPECT_EQ(m.find("</train>"), std::string::npos);
}

TEST(TrainMessage, CarriesTimeThenVehiclesWithVehicleOnesSerial) {
    EXPECT_EQ(TrainMessage("2026-12-08 14:03:27", 2, "ZK0001"),
              "<train><time>2026-12-08 14:03:27</time>"
              "<vagen id=\"1\"><serial>ZK0001</serial></vagen>"
              "<vagen id=\"2\"><serial>ZK0001-2</serial></vagen></train>");
}

TEST(TrainMessage, EmptySerialLeavesVehicleOneWithoutSerial) {
    std::string m = TrainMessage("t", 2, "");
    EXPECT_NE(m.find("<vagen id=\"1\"></vagen>"), std::string::npos) << m;
    EXPECT_NE(m.find("<vagen id=\"2\"><serial>-2</serial></vagen>"), std::string::npos) << m;
}

TEST(TrainMessage, EscapesTheSerialAndHasOneClosingTagAtTheEnd) {
    std::string m = TrainMessage("t", 1, "</train>&");
    EXPECT_NE(m.find("<serial>&lt;/train&gt;&amp;</serial>"), std::string::npos) << m;
    EXPECT_EQ(m.find("</train>"), m.size() - 8);
    EXPECT_EQ(TrainMessage("t", 0, "x"), "<train><time>t</time></train>");
}

TEST(GarbageBytes, RepeatsForASeedAndNeverFormsATag) {
    uint32_t a = 42;
    uint32_t b = 42;
    std::string first = GarbageBytes(&a, 5000);
    EXPECT_EQ(first, GarbageBytes(&b, 5000));
    EXPECT_EQ(a, b);
    EXPECT_EQ(first.size(), 5000u);
    EXPECT_EQ(first.find('<'), std::string::npos);
    EXPECT_NE(first.find('\0'), std::string::npos) << "zero bytes are part of the garbage";
    EXPECT_NE(GarbageBytes(&a, 64), first.substr(0, 64)) << "the state advances";
    uint32_t zero = 0;
    EXPECT_EQ(GarbageBytes(&zero, 16).size(), 16u);
    EXPECT_NE(zero, 0u) << "a zero seed must not stick at zero";
}

TEST(EventLine, NamesTheProgramWithoutItsFolder) {
    EXPECT_EQ(ProgramName("/opt/demo/sim_a"), "sim_a");
    EXPECT_EQ(ProgramName("Z:\\demo\\sim_a.exe"), "sim_a.exe");
    EXPECT_EQ(ProgramName("sim_a"), "sim_a");
    std::tm t = {};
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 1;
    EXPECT_EQ(EventLine(t, "sim_a", "connection 1 accepted"),
              "09:05:01 sim_a: connection 1 accepted\n");
}

}  // namespace
}  // namespace sim
