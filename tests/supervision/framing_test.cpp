#include "supervision/framing.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::string kHandshake = "<?xml version=\"1.0\"?><handshake>x</handshake>";
const std::string kTrain = "<train><time>2026-12-08 10:00:00</time></train>";

FramedMessage Feed(MessageFramer& framer, const std::string& bytes) {
    return framer.Append(bytes.data(), bytes.size());
}

std::string Unconsumed(const MessageFramer& framer) {
    return std::string(framer.Data(), framer.Length());
}

TEST(Framing, HandshakeSplitOverTwoReadsIsRecognisedAfterTheSecond) {
    MessageFramer framer;
    ASSERT_TRUE(framer.Ready());
    EXPECT_EQ(Feed(framer, kHandshake.substr(0, 30)).kind, MessageKind::kNone);
    EXPECT_EQ(framer.Length(), 30u);
    EXPECT_EQ(Feed(framer, kHandshake.substr(30)).kind, MessageKind::kHandshake);
    EXPECT_EQ(framer.Length(), 0u);
    EXPECT_EQ(framer.Data()[0], '\0');
}

TEST(Framing, ClosingTagSplitInsideTheTagItself) {
    MessageFramer framer;
    EXPECT_EQ(Feed(framer, "<train><time>1</time></tr").kind, MessageKind::kNone);
    EXPECT_EQ(Feed(framer, "ai").kind, MessageKind::kNone);
    FramedMessage message = Feed(framer, "n>");
    EXPECT_EQ(message.kind, MessageKind::kTrain);
    EXPECT_EQ(message.text, "<train><time>1</time></train>");
}

TEST(Framing, HandshakeThenTrainInOneReadIsOneTrain) {
    MessageFramer framer;
    FramedMessage message = Feed(framer, kHandshake + kTrain);
    EXPECT_EQ(message.kind, MessageKind::kTrain);
    EXPECT_EQ(message.text, kHandshake + kTrain);
    EXPECT_EQ(framer.Length(), 0u);
    // Nothing is left over for a later read to count.
    EXPECT_EQ(Feed(framer, "x").kind, MessageKind::kNone);
}

TEST(Framing, TrainThenHandshakeLeavesTheHandshakeForTheNextRead) {
    MessageFramer framer;
    FramedMessage message = Feed(framer, kTrain + kHandshake);
    EXPECT_EQ(message.kind, MessageKind::kTrain);
    EXPECT_EQ(message.text, kTrain);
    EXPECT_EQ(Unconsumed(framer), kHandshake);
    EXPECT_EQ(framer.Data()[framer.Length()], '\0');
    EXPECT_EQ(Feed(framer, "<hand").kind, MessageKind::kHandshake);
    EXPECT_EQ(Unconsumed(framer), "<hand");
}

TEST(Framing, TwoHandshakesInOneReadAreCountedOnePerRead) {
    MessageFramer framer;
    EXPECT_EQ(Feed(framer, kHandshake + kHandshake).kind, MessageKind::kHandshake);
    EXPECT_EQ(Unconsumed(framer), kHandshake);
    EXPECT_EQ(Feed(framer, "z").kind, MessageKind::kHandshake);
    EXPECT_EQ(Unconsumed(framer), "z");
    EXPECT_EQ(Feed(framer, "z").kind, MessageKind::kNone);
}

TEST(Framing, ZeroByteHidesEverythingAfterIt) {
    MessageFramer framer;
    std::string bytes = kHandshake + std::string(1, '\0') + kHandshake;
    EXPECT_EQ(Feed(framer, bytes).kind, MessageKind::kHandshake);
    EXPECT_EQ(framer.Length(), kHandshake.size() + 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Feed(framer, kTrain).kind, MessageKind::kNone);
    }
    framer.Clear();
    EXPECT_EQ(Feed(framer, kTrain).kind, MessageKind::kTrain);
}

TEST(Framing, ZeroByteInsideAClosingTagBreaksIt) {
    MessageFramer framer;
    EXPECT_EQ(Feed(framer, std::string("<t></tra\0in>", 12)).kind, MessageKind::kNone);
    EXPECT_EQ(Feed(framer, "</train>").kind, MessageKind::kNone);
}

TEST(Framing, ClearForgetsAPartialMessage) {
    MessageFramer framer;
    Feed(framer, "<handshake>abc</hand");
    framer.Clear();
    EXPECT_EQ(Feed(framer, "shake>").kind, MessageKind::kNone);
    EXPECT_EQ(Unconsumed(framer), "shake>");
}

TEST(FramingLimit, ReadThatWouldOverfillDiscardsTheUnconsumedBytes) {
    MessageFramer framer(64);
    EXPECT_EQ(Feed(framer, std::string(40, 'a')).kind, MessageKind::kNone);
    FramedMessage message = Feed(framer, std::string(12, 'b') + "</handshake>");
    EXPECT_EQ(message.discardedBytes, 40u);
    // The new bytes are kept and searched; the connection goes on.
    EXPECT_EQ(message.kind, MessageKind::kHandshake);
    EXPECT_EQ(framer.Length(), 0u);
}

TEST(FramingLimit, OnlyTheReadThatOverfillsDiscards) {
    MessageFramer framer(64);
    EXPECT_EQ(Feed(framer, std::string(50, 'a')).discardedBytes, 0u);
    EXPECT_EQ(Feed(framer, std::string(20, 'b')).discardedBytes, 50u);
    EXPECT_EQ(Feed(framer, std::string(20, 'c')).discardedBytes, 0u);
}

TEST(FramingLimit, ExactlyFullIsNotAnOverflow) {
    MessageFramer framer(64);
    Feed(framer, std::string(40, 'a'));
    FramedMessage message = Feed(framer, std::string(23, 'b'));  // 63 bytes and the zero
    EXPECT_EQ(message.discardedBytes, 0u);
    EXPECT_EQ(framer.Length(), 63u);
    EXPECT_EQ(framer.Data()[63], '\0');
    EXPECT_EQ(Feed(framer, "c").discardedBytes, 63u);
    EXPECT_EQ(Unconsumed(framer), "c");
}

TEST(FramingLimit, ReadLargerThanTheBufferKeepsItsLastBytes) {
    MessageFramer framer(32);
    std::string bytes = std::string(100, 'x') + "</train>";
    FramedMessage message = Feed(framer, bytes);
    EXPECT_EQ(message.kind, MessageKind::kTrain);
    EXPECT_EQ(message.text, bytes.substr(bytes.size() - 31));
}

TEST(FramingLimit, OverflowRecoversFromAZeroByteThatBlockedTheStream) {
    MessageFramer framer(64);
    Feed(framer, std::string("\0", 1) + kHandshake.substr(0, 20));
    EXPECT_EQ(Feed(framer, std::string(30, 'q')).kind, MessageKind::kNone);
    FramedMessage message = Feed(framer, "<handshake></handshake>");
    EXPECT_GT(message.discardedBytes, 0u);
    EXPECT_EQ(message.kind, MessageKind::kHandshake);
}

TEST(FramingLimit, MissingBufferFindsNothing) {
    MessageFramer framer(0);
    EXPECT_FALSE(framer.Ready());
    EXPECT_EQ(Feed(framer, kHandshake).kind, MessageKind::kNone);
}

// The framer must give the results of searching the whole unconsumed text
// from its beginning after every read, whatever it does to go faster.
struct ReferenceFramer {
    std::size_t capacity;
    std::string bytes;

    FramedMessage Append(const std::string& in) {
        FramedMessage result;
        std::string data = in.size() > capacity - 1 ? in.substr(in.size() - (capacity - 1)) : in;
        if (bytes.size() + data.size() > capacity - 1) {
            result.discardedBytes = bytes.size();
            bytes.clear();
        }
        bytes += data;
        std::string text = bytes.substr(0, bytes.find('\0'));
        std::size_t train = text.find("</train>");
        std::size_t handshake = text.find("</handshake>");
        std::size_t consumed = 0;
        if (train != std::string::npos) {
            result.kind = MessageKind::kTrain;
            consumed = train + 8;
            result.text = bytes.substr(0, consumed);
        } else if (handshake != std::string::npos) {
            result.kind = MessageKind::kHandshake;
            consumed = handshake + 12;
        }
        bytes.erase(0, consumed);
        return result;
    }
};

TEST(FramingModel, RandomReadsMatchSearchingFromTheBeginning) {
    const std::vector<std::string> pieces = {"<handshake>",
                                             "</handshake>",
                                             "</hand",
                                             "shake>",
                                             "<train>",
                                             "</train>",
                                             "</tr",
                                             "ain>",
                                             "<time>1</time>",
                                             "abc",
                                             "<",
                                             "/",
                                             std::string(1, '\0'),
                                             "</",
                                             std::string(50, 'w')};
    for (std::size_t capacity : {std::size_t{48}, std::size_t{160}, std::size_t{4096}}) {
        std::mt19937 random(static_cast<unsigned>(capacity));
        MessageFramer framer(capacity);
        ReferenceFramer reference{capacity, {}};
        for (int step = 0; step < 20000; ++step) {
            if (random() % 500 == 0) {
                framer.Clear();
                reference.bytes.clear();
            }
            std::string read;
            for (unsigned n = 1 + random() % 4; n > 0; --n) {
                read += pieces[random() % pieces.size()];
            }
            FramedMessage got = Feed(framer, read);
            FramedMessage want = reference.Append(read);
            ASSERT_EQ(got.kind, want.kind) << "capacity " << capacity << " step " << step;
            ASSERT_EQ(got.text, want.text) << "step " << step;
            ASSERT_EQ(got.discardedBytes, want.discardedBytes) << "step " << step;
            ASSERT_EQ(Unconsumed(framer), reference.bytes) << "step " << step;
            ASSERT_EQ(framer.Data()[framer.Length()], '\0');
        }
    }
}

}  // namespace
