// zelkctl's end of the control channel on Win32: the pipe opened for
// identification only (the daemon may learn who calls, never act as the
// caller), the request written while the answer is read, both overlapped so
// that the deadline holds.
#include <windows.h>

#include "../control_common.h"
#include "control_access.h"
#include "platform/control_channel.h"
#include "platform/error_text.h"
#include "platform/system.h"

namespace platform {

namespace {
// A pipe and the two operations that may be under way on it; on the way
// out both are ended before their buffers and events go.
struct Call {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED write{};
    OVERLAPPED read{};
    bool writing = false;
    bool reading = false;
    char chunk[control::kReadChunkBytes];

    Call() {
        write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Call() {
        DWORD ignored = 0;
        if (writing || reading) {
            CancelIoEx(pipe, nullptr);
        }
        if (writing) {
            GetOverlappedResult(pipe, &write, &ignored, TRUE);
        }
        if (reading) {
            GetOverlappedResult(pipe, &read, &ignored, TRUE);
        }
        if (pipe != INVALID_HANDLE_VALUE) {
            CloseHandle(pipe);
        }
        CloseHandle(write.hEvent);
        CloseHandle(read.hEvent);
    }
    bool StartRead() {
        ResetEvent(read.hEvent);
        reading = ReadFile(pipe, chunk, sizeof(chunk), nullptr, &read) ||
                  GetLastError() == ERROR_IO_PENDING;
        return reading;
    }
};

// Opens the pipe within the time left: while every instance is busy with
// other clients, waits for one to come free.
DWORD Open(const std::string& channel, int64_t untilMs, HANDLE* pipe) {
    for (;;) {
        *pipe = CreateFileA(
            channel.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (*pipe != INVALID_HANDLE_VALUE) {
            return 0;
        }
        const DWORD error = GetLastError();
        const unsigned left = control::MsUntil(untilMs, MonotonicMs(), 0xFFFFFFFEu);
        if (error != ERROR_PIPE_BUSY || left == 0) {
            return error;
        }
        WaitNamedPipeA(channel.c_str(), left);
    }
}

ControlCallResult OpenFailure(DWORD error, const std::string& channel, unsigned timeoutMs,
                              std::size_t maxAnswerBytes) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return control::CallFailure(ControlCallStatus::kNoChannel, channel, timeoutMs,
                                        maxAnswerBytes);
        case ERROR_ACCESS_DENIED:
            return control::CallFailure(ControlCallStatus::kDenied, channel, timeoutMs,
                                        maxAnswerBytes, control::PipeAccessRule(channel));
        case ERROR_PIPE_BUSY:
        case ERROR_SEM_TIMEOUT:
            return control::CallFailure(ControlCallStatus::kTimedOut, channel, timeoutMs,
                                        maxAnswerBytes, "the daemon is busy");
        default:
            return control::CallFailure(ControlCallStatus::kFailed, channel, timeoutMs,
                                        maxAnswerBytes, ErrorText(static_cast<int32_t>(error)));
    }
}
}  // namespace

ControlCallResult ExchangeRawBytes(const std::string& channel, const std::string& bytes,
                                   unsigned timeoutMs, std::size_t maxAnswerBytes) {
    const int64_t until = MonotonicMs() + timeoutMs;
    Call call;
    const DWORD refused = Open(channel, until, &call.pipe);
    if (refused != 0) {
        return OpenFailure(refused, channel, timeoutMs, maxAnswerBytes);
    }
    if (!bytes.empty()) {
        call.writing = WriteFile(call.pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                                 &call.write) ||
                       GetLastError() == ERROR_IO_PENDING;
    }
    std::string received;
    if (!call.StartRead()) {
        return control::CallFailure(ControlCallStatus::kClosed, channel, timeoutMs, maxAnswerBytes);
    }
    for (;;) {
        HANDLE waits[2] = {call.read.hEvent, call.write.hEvent};
        const DWORD woken = WaitForMultipleObjects(
            call.writing ? 2 : 1, waits, FALSE, control::MsUntil(until, MonotonicMs(), timeoutMs));
        if (woken == WAIT_TIMEOUT) {
            return control::CallFailure(ControlCallStatus::kTimedOut, channel, timeoutMs,
                                        maxAnswerBytes);
        }
        if (woken == WAIT_FAILED) {
            return control::CallFailure(ControlCallStatus::kFailed, channel, timeoutMs,
                                        maxAnswerBytes,
                                        ErrorText(static_cast<int32_t>(GetLastError())));
        }
        DWORD count = 0;
        if (woken == WAIT_OBJECT_0 + 1) {
            // Written, or refused by a server that stopped reading (a request
            // too long): its answer is read all the same.
            GetOverlappedResult(call.pipe, &call.write, &count, FALSE);
            call.writing = false;
            continue;
        }
        const bool read = GetOverlappedResult(call.pipe, &call.read, &count, FALSE) != FALSE;
        call.reading = false;
        if (!read) {
            return control::CallFailure(ControlCallStatus::kClosed, channel, timeoutMs,
                                        maxAnswerBytes);
        }
        ControlCallResult result;
        if (control::TakeAnswerBytes(received, call.chunk, count, channel, timeoutMs,
                                     maxAnswerBytes, &result)) {
            return result;
        }
        if (!call.StartRead()) {
            return control::CallFailure(ControlCallStatus::kClosed, channel, timeoutMs,
                                        maxAnswerBytes);
        }
    }
}

}  // namespace platform
