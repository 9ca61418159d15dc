// The watchdog's client socket against a loopback peer: a connect that fails
// never reads as readable, while a connection the peer resets or closes does,
// so that the read reports it. And the addresses config.xml may give it.
#include <gtest/gtest.h>

#include "../support/loopback_listener.h"
#include "platform/socket_library.h"
#include "platform/tcp_client.h"

namespace {

using platform::WaitOutcome;
using testing_support::LoopbackListener;

constexpr unsigned kWaitMs = 200;

// A failed connect times out, or (where the platform reports it at once)
// says so; it is never readable and never a failed wait.
bool NeverReadable(WaitOutcome outcome) {
    return outcome == WaitOutcome::kTimedOut || outcome == WaitOutcome::kConnectFailed;
}

class TcpClientTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { platform::SocketLibraryStartup(); }

    void ConnectTo(uint16_t networkPort, uint32_t networkAddress) {
        ASSERT_TRUE(client.Create());
        client.SetNonBlocking();
        client.Connect(platform::kIpv4Family, networkPort, networkAddress);
    }

    platform::TcpClient client;
    char buffer[64] = {};
};

TEST_F(TcpClientTest, AFailedConnectNeverReadsAsReadable) {
    uint16_t closedPort = 0;
    {
        LoopbackListener gone;
        closedPort = gone.NetworkPort();
    }
    ConnectTo(closedPort, LoopbackListener::NetworkLoopback());
    EXPECT_TRUE(NeverReadable(client.WaitReadable(kWaitMs)));
    EXPECT_TRUE(NeverReadable(client.WaitReadable(kWaitMs)));

    // 0.0.0.0 is refused, as Windows refuses it.
    LoopbackListener listener;
    ConnectTo(listener.NetworkPort(), 0);
    EXPECT_TRUE(NeverReadable(client.WaitReadable(kWaitMs)));
    EXPECT_TRUE(NeverReadable(client.WaitReadable(kWaitMs)));
}

TEST_F(TcpClientTest, AConnectionResetBeforeTheFirstWaitIsReadableAndItsReadFails) {
    LoopbackListener listener;
    ConnectTo(listener.NetworkPort(), LoopbackListener::NetworkLoopback());
    ASSERT_TRUE(listener.Accept());
    listener.CloseAccepted(/*reset=*/true);
    ASSERT_EQ(client.WaitReadable(kWaitMs), WaitOutcome::kReadable);
    EXPECT_LE(client.Receive(buffer, sizeof(buffer)), 0);
    // A dead connection stays readable, and every read fails again.
    ASSERT_EQ(client.WaitReadable(kWaitMs), WaitOutcome::kReadable);
    EXPECT_LE(client.Receive(buffer, sizeof(buffer)), 0);
}

TEST_F(TcpClientTest, BytesBeforeAnOrderlyCloseAreReadThenTheCloseIsReported) {
    LoopbackListener listener;
    ConnectTo(listener.NetworkPort(), LoopbackListener::NetworkLoopback());
    ASSERT_TRUE(listener.Accept());
    listener.Send("hello");
    listener.CloseAccepted(/*reset=*/false);
    ASSERT_EQ(client.WaitReadable(kWaitMs), WaitOutcome::kReadable);
    EXPECT_EQ(client.Receive(buffer, sizeof(buffer)), 5);
    ASSERT_EQ(client.WaitReadable(kWaitMs), WaitOutcome::kReadable);
    EXPECT_EQ(client.Receive(buffer, sizeof(buffer)), 0);
}

TEST_F(TcpClientTest, AnAcceptedSilentConnectionTimesOut) {
    LoopbackListener listener;
    ConnectTo(listener.NetworkPort(), LoopbackListener::NetworkLoopback());
    ASSERT_TRUE(listener.Accept());
    EXPECT_EQ(client.WaitReadable(kWaitMs), WaitOutcome::kTimedOut);
}

// Only dotted decimal is an address: the daemon connects to 0.0.0.0 for
// anything else, and zelkctl check says so.
TEST(ParseIpv4, ReadsDottedDecimalOnly) {
    uint32_t address = 0;
    ASSERT_TRUE(platform::ParseIpv4("127.0.0.1", &address));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address);
    EXPECT_EQ(bytes[0], 127);  // network byte order
    EXPECT_EQ(bytes[3], 1);
    for (const char* text : {"256.1.1.1", "localhost", " 127.0.0.1", "127.0.0.1 ", "", "1.2.3",
                             "1.2.3.4.5", "0x7f.0.0.1"}) {
        address = 7;
        EXPECT_FALSE(platform::ParseIpv4(text, &address)) << text;
        EXPECT_EQ(address, 7u) << text;
    }
}

}  // namespace
