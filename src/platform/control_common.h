// What both platforms' control channels share: one client's exchange (its
// request line taken in, its answer sent, its deadlines) apart from how the
// bytes move, the events the server hands out, and the client's error lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/control_channel.h"

namespace platform {
namespace control {

// Bytes asked of the system in one read.
constexpr std::size_t kReadChunkBytes = 4096;

// Where one client's exchange stands. Every phase has a deadline.
enum class Phase {
    kReading,   // taking in the request line (limits.readTimeoutMs from the connect)
    kAwaiting,  // the caller has the request or the refusal; no answer yet
    kWriting,   // the answer is going out (limits.writeTimeoutMs from the request on)
};

struct Exchange {
    uint64_t id = 0;
    Phase phase = Phase::kReading;
    int64_t deadlineMs = 0;  // on the monotonic clock
    std::string input;       // bytes read, never more than the cap and one
    std::string output;      // the answer and its line end
    std::size_t written = 0;
    CallerIdentity caller;
};

// The limits a server keeps: `limits` with its count of clients served at
// once brought within 1 to 63 (what one wait of the system can watch beside
// the stop).
ControlLimits ServedLimits(const ControlLimits& limits);

// Starts the exchange of a client that has just connected.
void Begin(Exchange& exchange, uint64_t id, const ControlLimits& limits);

// How many bytes to read next: a chunk, but never past the cap and one.
std::size_t ReadSize(const Exchange& exchange, const ControlLimits& limits);

// Takes `count` bytes read from the client in phase kReading. Returns the
// event for the caller when the request is complete (kRequest) or too long
// (kTooLong), the exchange then awaiting its answer; else kIdle.
ControlEventKind TakeBytes(Exchange& exchange, const char* bytes, std::size_t count,
                           const ControlLimits& limits, ControlEvent* event);

// Turns an answer into the bytes to send and the exchange to kWriting. False
// when the exchange awaits no answer or the line holds a line end.
bool StartAnswer(Exchange& exchange, const std::string& line);

// The event of a client dropped, with the text of why.
ControlEvent Dropped(const Exchange& exchange, const std::string& why);
// Why a client is dropped at its deadline, by the phase it was in.
std::string Overdue(const Exchange& exchange, const ControlLimits& limits);
// Why a client is dropped when it closes early, by the phase it was in.
std::string ClosedEarly(const Exchange& exchange);

// Milliseconds from now to `deadlineMs`, 0 when past, at most `ceilingMs`.
unsigned MsUntil(int64_t deadlineMs, int64_t nowMs, unsigned ceilingMs);

// The client's result of a failure, with its one line for the operator.
// `detail` is the system's text (kFailed), the rule (kDenied) or empty.
ControlCallResult CallFailure(ControlCallStatus status, const std::string& channel,
                              unsigned timeoutMs, std::size_t maxAnswerBytes,
                              const std::string& detail = std::string());

// Takes `count` more bytes of the client's answer into `received`. True
// when the call is over, `*result` then its end: the answer line, or the
// failure of an answer past the cap; false while the line is incomplete.
bool TakeAnswerBytes(std::string& received, const char* bytes, std::size_t count,
                     const std::string& channel, unsigned timeoutMs, std::size_t maxAnswerBytes,
                     ControlCallResult* result);

// An event without a client: the stop, an idle wait, a failure.
ControlEvent Simple(ControlEventKind kind, int32_t error = 0, const std::string& text = "");

// The failure of a Next on a channel that is not open (`error`: the
// system's code for a bad handle).
ControlEvent NotOpen(const std::string& channel, int32_t error);

// The event the server's Next hands out before it waits, if any: the stop,
// else the oldest queued event, else kIdle once the wait is over (after at
// least one look at the channel). False: wait on the channel.
bool EventBeforeWaiting(bool stopRaised, std::deque<ControlEvent>& queued, int64_t nowMs,
                        int64_t untilMs, bool looked, ControlEvent* event);

}  // namespace control
}  // namespace platform
