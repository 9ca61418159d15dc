#include "supervision/framing.h"

#include <cstring>
#include <new>

namespace {

constexpr char kTrainEnd[] = "</train>";
constexpr std::size_t kTrainEndBytes = sizeof(kTrainEnd) - 1;  // 8
constexpr char kHandshakeEnd[] = "</handshake>";
constexpr std::size_t kHandshakeEndBytes = sizeof(kHandshakeEnd) - 1;  // 12
constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

}  // namespace

MessageFramer::MessageFramer(std::size_t capacity) : capacity_(capacity) {
    if (capacity_ >= 2) {
        buffer_.reset(new (std::nothrow) char[capacity_]);
    }
    if (buffer_) {
        buffer_[0] = '\0';
    }
}

void MessageFramer::Clear() {
    begin_ = 0;
    length_ = 0;
    visible_ = 0;
    resume_ = 0;
    if (buffer_) {
        buffer_[0] = '\0';
    }
}

void MessageFramer::MakeRoom(std::size_t size, FramedMessage* result) {
    const std::size_t limit = capacity_ - 1;  // one byte stays for the terminating zero
    if (length_ + size > limit) {
        result->discardedBytes = length_;
        Clear();
    } else if (begin_ + length_ + size > limit) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, length_);
        begin_ = 0;
        buffer_[length_] = '\0';
    }
}

void MessageFramer::Search(std::size_t* train, std::size_t* handshake) const {
    *train = kNotFound;
    *handshake = kNotFound;
    const char* text = Data();
    const char* end = text + visible_;
    const char* p = text + resume_;
    // Both closing tags begin with "<": jump from one "<" to the next and
    // compare there. The first "</train>" ends the search; the first
    // "</handshake>" is remembered on the way.
    while (p < end) {
        const char* open =
            static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (open == nullptr) {
            break;
        }
        const std::size_t left = static_cast<std::size_t>(end - open);
        if (left >= kTrainEndBytes && std::memcmp(open, kTrainEnd, kTrainEndBytes) == 0) {
            *train = static_cast<std::size_t>(open - text);
            return;
        }
        if (*handshake == kNotFound && left >= kHandshakeEndBytes &&
            std::memcmp(open, kHandshakeEnd, kHandshakeEndBytes) == 0) {
            *handshake = static_cast<std::size_t>(open - text);
        }
        p = open + 1;
    }
}

void MessageFramer::Consume(std::size_t count) {
    // The terminating zero stays where it is: right after the remaining bytes.
    begin_ += count;
    length_ -= count;
    visible_ -= count;  // the first zero byte (or the end) lies after the message
    resume_ = 0;        // the rest is searched from its beginning at the next read
    if (length_ == 0) {
        begin_ = 0;
        buffer_[0] = '\0';
    }
}

FramedMessage MessageFramer::Append(const char* data, std::size_t size) {
    FramedMessage result;
    if (!buffer_ || (data == nullptr && size != 0)) {
        return result;
    }
    const std::size_t limit = capacity_ - 1;
    if (size > limit) {
        data += size - limit;
        size = limit;
    }
    MakeRoom(size, &result);

    char* tail = buffer_.get() + begin_ + length_;
    std::memcpy(tail, data, size);
    tail[size] = '\0';
    const std::size_t previous = length_;
    length_ += size;
    if (visible_ == previous) {
        const void* zero = std::memchr(tail, '\0', size);
        visible_ = zero == nullptr
                       ? length_
                       : static_cast<std::size_t>(static_cast<const char*>(zero) - Data());
    }

    std::size_t train = kNotFound;
    std::size_t handshake = kNotFound;
    Search(&train, &handshake);
    if (train != kNotFound) {
        const std::size_t consumed = train + kTrainEndBytes;
        result.kind = MessageKind::kTrain;
        try {
            result.text.assign(Data(), consumed);
        } catch (const std::bad_alloc&) {
            // The message is consumed all the same; without its text nothing
            // is read from it.
        }
        Consume(consumed);
    } else if (handshake != kNotFound) {
        result.kind = MessageKind::kHandshake;
        Consume(handshake + kHandshakeEndBytes);
    } else {
        // A closing tag could still start in the last bytes searched.
        const std::size_t keep = kHandshakeEndBytes - 1;
        resume_ = visible_ > keep ? visible_ - keep : 0;
    }
    return result;
}
