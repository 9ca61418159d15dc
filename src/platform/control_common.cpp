// One client's exchange on the control channel, the same on every platform:
// only how the bytes move differs (posix/ and win32/control_server.cpp).
#include "control_common.h"

#include <algorithm>

#include "platform/system.h"

namespace platform {
namespace control {

namespace {
std::string Duration(unsigned milliseconds) {
    return milliseconds % 1000 == 0 ? std::to_string(milliseconds / 1000) + " s"
                                    : std::to_string(milliseconds) + " ms";
}

// The line of `input` up to its first line end (a CR before it left out).
// False when there is no line end within the cap.
bool LineOf(const std::string& input, std::size_t from, std::size_t cap, std::string* line) {
    const std::size_t end = input.find('\n', from);
    if (end == std::string::npos || end > cap) {
        return false;
    }
    std::size_t length = end;
    if (length > 0 && input[length - 1] == '\r') {
        --length;
    }
    line->assign(input, 0, length);
    return true;
}
}  // namespace

void Begin(Exchange& exchange, uint64_t id, const ControlLimits& limits) {
    exchange = Exchange();
    exchange.id = id;
    exchange.deadlineMs = MonotonicMs() + limits.readTimeoutMs;
}

std::size_t ReadSize(const Exchange& exchange, const ControlLimits& limits) {
    const std::size_t room =
        limits.maxLineBytes + 1 - std::min(exchange.input.size(), limits.maxLineBytes + 1);
    return std::max<std::size_t>(1, std::min(room, kReadChunkBytes));
}

ControlEventKind TakeBytes(Exchange& exchange, const char* bytes, std::size_t count,
                           const ControlLimits& limits, ControlEvent* event) {
    const std::size_t from = exchange.input.size();
    exchange.input.append(bytes, count);
    ControlEventKind kind = ControlEventKind::kIdle;
    if (LineOf(exchange.input, from, limits.maxLineBytes, &event->line)) {
        kind = ControlEventKind::kRequest;
    } else if (exchange.input.size() > limits.maxLineBytes) {
        kind = ControlEventKind::kTooLong;
    } else {
        return kind;
    }
    event->kind = kind;
    event->client = exchange.id;
    event->caller = exchange.caller;
    exchange.input.clear();
    exchange.input.shrink_to_fit();
    exchange.phase = Phase::kAwaiting;
    exchange.deadlineMs = MonotonicMs() + limits.writeTimeoutMs;
    return kind;
}

bool StartAnswer(Exchange& exchange, const std::string& line) {
    if (exchange.phase != Phase::kAwaiting || line.find('\n') != std::string::npos) {
        return false;
    }
    exchange.output = line + "\n";
    exchange.written = 0;
    exchange.phase = Phase::kWriting;
    return true;
}

ControlEvent Dropped(const Exchange& exchange, const std::string& why) {
    ControlEvent event;
    event.kind = ControlEventKind::kDropped;
    event.client = exchange.id;
    event.caller = exchange.caller;
    event.text = why;
    return event;
}

std::string Overdue(const Exchange& exchange, const ControlLimits& limits) {
    switch (exchange.phase) {
        case Phase::kReading:
            return "sent no whole line within " + Duration(limits.readTimeoutMs);
        case Phase::kAwaiting:
            return "was not answered within " + Duration(limits.writeTimeoutMs);
        case Phase::kWriting:
            break;
    }
    return "did not take its answer within " + Duration(limits.writeTimeoutMs);
}

std::string ClosedEarly(const Exchange& exchange) {
    return exchange.phase == Phase::kReading ? "closed the connection before a whole line"
                                             : "closed the connection before its answer";
}

unsigned MsUntil(int64_t deadlineMs, int64_t nowMs, unsigned ceilingMs) {
    if (deadlineMs <= nowMs) {
        return 0;
    }
    return static_cast<unsigned>(std::min<int64_t>(deadlineMs - nowMs, ceilingMs));
}

ControlCallResult CallFailure(ControlCallStatus status, const std::string& channel,
                              unsigned timeoutMs, std::size_t maxAnswerBytes,
                              const std::string& detail) {
    ControlCallResult result;
    result.status = status;
    switch (status) {
        case ControlCallStatus::kAnswered:
            break;
        case ControlCallStatus::kNoChannel:
            result.error = "no control channel at " + channel +
                           ": the daemon is not running, or its control is not configured";
            break;
        case ControlCallStatus::kDenied:
            result.error = "permission denied on " + channel + ": " + detail;
            break;
        case ControlCallStatus::kTimedOut:
            result.error = "no answer on " + channel + " within " + Duration(timeoutMs) +
                           (detail.empty() ? "" : " (" + detail + ")");
            break;
        case ControlCallStatus::kTooLong:
            result.error = "the answer on " + channel + " is longer than " +
                           std::to_string(maxAnswerBytes) + " bytes";
            break;
        case ControlCallStatus::kClosed:
            result.error = "the daemon closed the connection on " + channel + " without an answer";
            break;
        case ControlCallStatus::kFailed:
            result.error = "cannot use " + channel + ": " + detail;
            break;
    }
    return result;
}

bool TakeAnswerBytes(std::string& received, const char* bytes, std::size_t count,
                     const std::string& channel, unsigned timeoutMs, std::size_t maxAnswerBytes,
                     ControlCallResult* result) {
    received.append(bytes, count);
    if (LineOf(received, 0, maxAnswerBytes, &result->answer)) {
        result->status = ControlCallStatus::kAnswered;
        return true;
    }
    if (received.size() > maxAnswerBytes) {
        *result = CallFailure(ControlCallStatus::kTooLong, channel, timeoutMs, maxAnswerBytes);
        return true;
    }
    return false;
}

ControlEvent Simple(ControlEventKind kind, int32_t error, const std::string& text) {
    ControlEvent event;
    event.kind = kind;
    event.error = error;
    event.text = text;
    return event;
}

ControlLimits ServedLimits(const ControlLimits& limits) {
    constexpr unsigned kMostClients = 63;
    ControlLimits served = limits;
    served.maxClients = std::max(1u, std::min(limits.maxClients, kMostClients));
    return served;
}

ControlEvent NotOpen(const std::string& channel, int32_t error) {
    return Simple(ControlEventKind::kFailed, error,
                  "the control channel " + channel + " is not open");
}

bool EventBeforeWaiting(bool stopRaised, std::deque<ControlEvent>& queued, int64_t nowMs,
                        int64_t untilMs, bool looked, ControlEvent* event) {
    if (stopRaised) {
        *event = Simple(ControlEventKind::kStopped);
    } else if (!queued.empty()) {
        *event = std::move(queued.front());
        queued.pop_front();
    } else if (nowMs >= untilMs && looked) {
        *event = Simple(ControlEventKind::kIdle);
    } else {
        return false;
    }
    return true;
}

}  // namespace control

ControlCallResult CallControlChannel(const std::string& channel, const std::string& request,
                                     unsigned timeoutMs, std::size_t maxAnswerBytes) {
    if (request.find('\n') != std::string::npos) {
        return control::CallFailure(ControlCallStatus::kFailed, channel, timeoutMs, maxAnswerBytes,
                                    "the request holds a line end");
    }
    return ExchangeRawBytes(channel, request + "\n", timeoutMs, maxAnswerBytes);
}

}  // namespace platform
