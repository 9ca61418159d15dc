// MessageFramer: finds whole heartbeat messages in the byte stream of one
// watchdog connection. The stream has no framing of its own: a message is
// everything up to and including the first "</train>" or "</handshake>".
// Each call of Append consumes at most one message, so a read that completes
// two messages leaves the second for the next read that brings data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Unconsumed bytes one connection may hold, the terminating zero byte included.
constexpr std::size_t kMessageBufferBytes = 20971520;

enum class MessageKind {
    kNone,       // no complete message yet
    kHandshake,  // a heartbeat; its content is never read
    kTrain,      // a train report; `text` holds the whole message
};

struct FramedMessage {
    MessageKind kind = MessageKind::kNone;
    // For a train: the consumed bytes, from the first unconsumed byte through
    // "</train>" (a handshake before it is part of it). Empty for the others.
    std::string text;
    // Unconsumed bytes thrown away because this read would have overfilled the
    // buffer; 0 normally.
    std::size_t discardedBytes = 0;
};

class MessageFramer {
  public:
    // Allocates the buffer once. When it cannot be obtained Ready() is false
    // and Append finds nothing.
    explicit MessageFramer(std::size_t capacity = kMessageBufferBytes);
    MessageFramer(const MessageFramer&) = delete;
    MessageFramer& operator=(const MessageFramer&) = delete;

    bool Ready() const { return buffer_ != nullptr; }

    // Appends `size` received bytes and consumes at most one message: a
    // "</train>" anywhere in the searchable text wins over an earlier
    // "</handshake>", which is then consumed with it and not reported. The
    // searchable text ends at the first zero byte among the unconsumed bytes.
    //
    // When the unconsumed bytes and the new ones would not fit (an application
    // that never sends a closing tag), the unconsumed bytes are discarded (the
    // result tells how many), and the new bytes are kept (their last capacity - 1 bytes, should
    // a single read be larger than the whole buffer); the connection goes on.
    FramedMessage Append(const char* data, std::size_t size);

    // Forgets every unconsumed byte (a new connection attempt).
    void Clear();

    // The unconsumed bytes, zero-terminated at Length().
    const char* Data() const { return buffer_.get() + begin_; }
    std::size_t Length() const { return length_; }
    std::size_t Capacity() const { return capacity_; }

  private:
    // Offset (from Data()) of the first "</train>" and of the first
    // "</handshake>" in the searchable text, or npos; starts at resume_.
    void Search(std::size_t* train, std::size_t* handshake) const;
    void Consume(std::size_t count);
    void MakeRoom(std::size_t size, FramedMessage* result);

    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    // The unconsumed bytes are buffer_[begin_, begin_ + length_). Consumed
    // bytes only advance begin_; the rest moves to the front when an append
    // needs the room, so consuming a message costs nothing per byte left.
    std::size_t begin_ = 0;
    std::size_t length_ = 0;
    // Offset of the first zero byte among the unconsumed bytes, or length_.
    std::size_t visible_ = 0;
    // No closing tag starts before this offset: searches resume here, so a
    // long message arriving in small reads is searched in linear time.
    std::size_t resume_ = 0;
};
