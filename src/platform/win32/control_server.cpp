// The control channel's server on Win32: one pipe instance per client served
// at once, each with its own overlapped operation and event, all waited on
// together with the stop.
#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "../control_common.h"
#include "control_access.h"
#include "platform/control_channel.h"
#include "platform/error_text.h"
#include "platform/system.h"

namespace platform {

namespace {
constexpr const char* kServicePipe = "\\\\.\\pipe\\ZELK_Daemon";
constexpr DWORD kPipeBufferBytes = 64 * 1024;

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// 64-bit FNV-1a of `text`.
uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : text) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

// What a pipe instance is doing.
enum class Mode {
    kListening,  // waiting for a client to connect
    kExchange,   // serving one: its exchange's phase tells what
    kLingering,  // the answer is out; waiting for the client to close its end
};

struct Slot {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    bool pending = false;  // an operation on `overlapped` is under way
    bool identified = false;
    Mode mode = Mode::kListening;
    control::Exchange exchange;
    char buffer[control::kReadChunkBytes];

    ~Slot() {
        Cancel();
        if (pipe != INVALID_HANDLE_VALUE) {
            CloseHandle(pipe);
        }
        if (overlapped.hEvent != nullptr) {
            CloseHandle(overlapped.hEvent);
        }
    }
    // Ends the operation under way and waits until the system lets go of
    // the buffer and the OVERLAPPED.
    void Cancel() {
        if (pending) {
            DWORD ignored = 0;
            CancelIoEx(pipe, &overlapped);
            GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
            pending = false;
        }
    }
};
}  // namespace

ControlStop::ControlStop() : handles_{0, 0} {
    handles_[0] = reinterpret_cast<intptr_t>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

ControlStop::~ControlStop() {
    if (IsValid()) {
        CloseHandle(Handle(handles_[0]));
    }
}

bool ControlStop::IsValid() const {
    return handles_[0] != 0;
}

void ControlStop::Raise() {
    if (IsValid()) {
        SetEvent(Handle(handles_[0]));
    }
}

bool ControlStop::IsRaised() const {
    return IsValid() && WaitForSingleObject(Handle(handles_[0]), 0) == WAIT_OBJECT_0;
}

std::string ServiceControlChannel() {
    return kServicePipe;
}

std::string ConsoleControlChannel(const std::string& folder) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(folder.c_str(), sizeof(full), full, nullptr);
    std::string path = length > 0 && length < sizeof(full) ? std::string(full, length) : folder;
    std::replace(path.begin(), path.end(), '/', '\\');
    while (path.size() > 1 && path.back() == '\\') {
        path.pop_back();
    }
    if (!path.empty()) {
        CharLowerBuffA(&path[0], static_cast<DWORD>(path.size()));
    }
    char suffix[20];
    std::snprintf(suffix, sizeof(suffix), "-%016llx", static_cast<unsigned long long>(Fnv1a(path)));
    return kServicePipe + std::string(suffix);
}

struct ControlServer::State {
    std::string channel;
    ControlLimits limits;
    std::string descriptor;  // the pipe's, in SDDL
    uint64_t lastId = 0;
    std::vector<std::unique_ptr<Slot>> slots;
    std::deque<ControlEvent> events;

    DWORD MakeInstance(Slot& slot, bool first);
    void Listen(Slot& slot);
    void Connected(Slot& slot);
    void Read(Slot& slot);
    void Write(Slot& slot);
    void Complete(Slot& slot);
    void Recycle(Slot& slot);
    void Drop(Slot& slot, const std::string& why);
    void Expire(int64_t nowMs);
};

// Creates the pipe instance of `slot` with the channel's descriptor.
DWORD ControlServer::State::MakeInstance(Slot& slot, bool first) {
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor.c_str(), SDDL_REVISION_1,
                                                              &security, nullptr)) {
        return GetLastError();
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), security, FALSE};
    slot.pipe = CreateNamedPipeA(
        channel.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        static_cast<DWORD>(limits.maxClients), kPipeBufferBytes, kPipeBufferBytes, 0, &attributes);
    const DWORD error = slot.pipe == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LocalFree(security);
    if (error == 0) {
        slot.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (slot.overlapped.hEvent == nullptr) {
            return GetLastError();
        }
    }
    return error;
}

ControlServer::ControlServer() : state_(new State) {}

ControlServer::~ControlServer() {
    Close();
}

ControlOpenResult ControlServer::Open(const std::string& channel, const ControlAccess& access,
                                      const ControlLimits& limits) {
    Close();
    state_.reset(new State);
    State& s = *state_;
    s.channel = channel;
    s.limits = control::ServedLimits(limits);
    s.descriptor = control::PipeDescriptor(access.serverUser);
    ControlOpenResult result;
    for (unsigned i = 0; i < s.limits.maxClients; ++i) {
        s.slots.emplace_back(new Slot);
        const DWORD error = s.descriptor.empty() ? static_cast<DWORD>(ERROR_INVALID_SECURITY_DESCR)
                                                 : s.MakeInstance(*s.slots[i], i == 0);
        if (error != 0) {
            // The first instance of a name another process holds is refused.
            const bool held = i == 0 && (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY);
            result.status = held ? ControlOpenStatus::kInUse : ControlOpenStatus::kFailed;
            result.error = static_cast<int32_t>(error);
            result.text =
                "cannot open the control channel " + channel + ": " +
                (held ? "another process holds the name" : ErrorText(static_cast<int32_t>(error)));
            Close();
            return result;
        }
    }
    for (auto& slot : s.slots) {
        s.Listen(*slot);
    }
    result.status = ControlOpenStatus::kOpen;
    return result;
}

void ControlServer::State::Listen(Slot& slot) {
    slot.mode = Mode::kListening;
    slot.identified = false;
    slot.exchange = control::Exchange();
    ResetEvent(slot.overlapped.hEvent);
    if (ConnectNamedPipe(slot.pipe, &slot.overlapped)) {
        slot.pending = true;
        return;
    }
    switch (GetLastError()) {
        case ERROR_IO_PENDING:
            slot.pending = true;
            return;
        case ERROR_PIPE_CONNECTED:
            Connected(slot);
            return;
        case ERROR_NO_DATA:  // connected and gone again already
            DisconnectNamedPipe(slot.pipe);
            SetEvent(slot.overlapped.hEvent);  // tried again at the next pass
            return;
        default:
            events.push_back(
                control::Simple(ControlEventKind::kFailed, static_cast<int32_t>(GetLastError()),
                                "cannot wait for clients on the control channel " + channel + ": " +
                                    ErrorText(static_cast<int32_t>(GetLastError()))));
            SetEvent(slot.overlapped.hEvent);
            return;
    }
}

void ControlServer::State::Connected(Slot& slot) {
    slot.mode = Mode::kExchange;
    control::Begin(slot.exchange, ++lastId, limits);
    slot.exchange.caller.processId = control::PipeClientProcessId(slot.pipe);
    Read(slot);
}

// Starts a read into the slot's buffer; its end shows in the slot's event.
void ControlServer::State::Read(Slot& slot) {
    const DWORD size = slot.mode == Mode::kLingering
                           ? sizeof(slot.buffer)
                           : static_cast<DWORD>(control::ReadSize(slot.exchange, limits));
    ResetEvent(slot.overlapped.hEvent);
    if (ReadFile(slot.pipe, slot.buffer, size, nullptr, &slot.overlapped) ||
        GetLastError() == ERROR_IO_PENDING) {
        slot.pending = true;
    } else if (slot.mode == Mode::kLingering) {
        Recycle(slot);
    } else {
        Drop(slot, control::ClosedEarly(slot.exchange));
    }
}

// Starts writing the rest of the answer.
void ControlServer::State::Write(Slot& slot) {
    control::Exchange& exchange = slot.exchange;
    ResetEvent(slot.overlapped.hEvent);
    if (WriteFile(slot.pipe, exchange.output.data() + exchange.written,
                  static_cast<DWORD>(exchange.output.size() - exchange.written), nullptr,
                  &slot.overlapped) ||
        GetLastError() == ERROR_IO_PENDING) {
        slot.pending = true;
    } else {
        Drop(slot, control::ClosedEarly(exchange));
    }
}

// Takes the end of the slot's operation.
void ControlServer::State::Complete(Slot& slot) {
    DWORD count = 0;
    const bool done = GetOverlappedResult(slot.pipe, &slot.overlapped, &count, FALSE) != FALSE;
    const DWORD error = done ? 0 : GetLastError();
    slot.pending = false;
    control::Exchange& exchange = slot.exchange;
    if (slot.mode == Mode::kListening) {
        if (done || error == ERROR_PIPE_CONNECTED) {
            Connected(slot);
        } else {
            Recycle(slot);
        }
    } else if (slot.mode == Mode::kLingering) {
        // Whatever the client still sends is not read; its close ends it.
        done ? Read(slot) : Recycle(slot);
    } else if (!done) {
        Drop(slot, error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
                           error == ERROR_PIPE_NOT_CONNECTED
                       ? control::ClosedEarly(exchange)
                       : "could not be read: " + ErrorText(static_cast<int32_t>(error)));
    } else if (exchange.phase == control::Phase::kWriting) {
        exchange.written += count;
        if (exchange.written < exchange.output.size()) {
            Write(slot);
        } else {
            // Closing the instance now would throw away what the client has
            // not read yet: it is closed when the client closes its end.
            slot.mode = Mode::kLingering;
            Read(slot);
        }
    } else if (exchange.phase == control::Phase::kReading) {
        if (!slot.identified && count > 0) {
            // The client's token is handed out once it has sent something.
            const int64_t processId = exchange.caller.processId;
            exchange.caller = control::PipeClientIdentity(slot.pipe);
            exchange.caller.processId = processId;
            slot.identified = true;
        }
        ControlEvent event;
        if (control::TakeBytes(exchange, slot.buffer, count, limits, &event) !=
            ControlEventKind::kIdle) {
            events.push_back(event);
        } else {
            Read(slot);
        }
    }
}

void ControlServer::State::Recycle(Slot& slot) {
    slot.Cancel();
    DisconnectNamedPipe(slot.pipe);
    Listen(slot);
}

void ControlServer::State::Drop(Slot& slot, const std::string& why) {
    events.push_back(control::Dropped(slot.exchange, why));
    Recycle(slot);
}

void ControlServer::State::Expire(int64_t nowMs) {
    for (auto& slot : slots) {
        if (slot->mode == Mode::kListening || slot->exchange.deadlineMs > nowMs) {
            continue;
        }
        if (slot->mode == Mode::kLingering) {
            Recycle(*slot);
        } else {
            Drop(*slot, control::Overdue(slot->exchange, limits));
        }
    }
}

ControlEvent ControlServer::Next(ControlStop& stop, unsigned maxWaitMs) {
    State& s = *state_;
    if (s.slots.empty() || !stop.IsValid()) {
        return control::NotOpen(s.channel, ERROR_INVALID_HANDLE);
    }
    const int64_t until = MonotonicMs() + maxWaitMs;
    std::vector<HANDLE> waits;
    for (bool looked = false;; looked = true) {
        const int64_t now = MonotonicMs();
        s.Expire(now);
        ControlEvent before;
        if (control::EventBeforeWaiting(stop.IsRaised(), s.events, now, until, looked, &before)) {
            return before;
        }
        int64_t wakeAt = until;
        waits.assign(1, Handle(stop.handles_[0]));
        for (auto& slot : s.slots) {
            // A listening instance without an operation under way has its
            // event set: it is tried again at once.
            if (slot->pending || slot->mode == Mode::kListening) {
                waits.push_back(slot->overlapped.hEvent);
            }
            if (slot->mode != Mode::kListening) {
                wakeAt = std::min(wakeAt, slot->exchange.deadlineMs);
            }
        }
        const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(),
                                                   FALSE, control::MsUntil(wakeAt, now, maxWaitMs));
        if (woken == WAIT_FAILED) {
            const int32_t error = static_cast<int32_t>(GetLastError());
            return control::Simple(
                ControlEventKind::kFailed, error,
                "cannot wait on the control channel " + s.channel + ": " + ErrorText(error));
        }
        // Every operation that has ended, not only the one that woke the wait.
        for (auto& slot : s.slots) {
            if (slot->pending && HasOverlappedIoCompleted(&slot->overlapped)) {
                s.Complete(*slot);
            } else if (!slot->pending && slot->mode == Mode::kListening &&
                       WaitForSingleObject(slot->overlapped.hEvent, 0) == WAIT_OBJECT_0) {
                s.Recycle(*slot);
            }
        }
    }
}

bool ControlServer::Answer(uint64_t client, const std::string& line) {
    State& s = *state_;
    for (auto& slot : s.slots) {
        if (slot->mode == Mode::kExchange && slot->exchange.id == client) {
            if (control::StartAnswer(slot->exchange, line)) {
                s.Write(*slot);
                return true;
            }
            if (slot->exchange.phase == control::Phase::kAwaiting) {
                s.Recycle(*slot);
            }
            return false;
        }
    }
    return false;
}

void ControlServer::Refuse(uint64_t client) {
    State& s = *state_;
    for (auto& slot : s.slots) {
        if (slot->mode == Mode::kExchange && slot->exchange.id == client) {
            s.Recycle(*slot);
        }
    }
}

void ControlServer::Close() {
    if (state_) {
        state_->slots.clear();
        state_->events.clear();
    }
}

std::string ControlServer::AccessText() const {
    const State& s = *state_;
    return s.slots.empty() ? "" : control::PipeAccessText(s.slots[0]->pipe);
}

}  // namespace platform
