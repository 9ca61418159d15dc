#include "platform/watch_terminal.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "watch_common.h"

namespace platform {

namespace {

std::atomic<bool> interrupted{false};
// Set by the pipe reader when a byte arrives.
std::atomic<bool> pipeKey{false};

BOOL WINAPI OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted = true;
        return TRUE;
    }
    return FALSE;
}

// Longest wait between two looks at the interrupt flag, which the system
// sets from a thread of its own.
constexpr int64_t kSliceMs = 100;

// ENABLE_VIRTUAL_TERMINAL_PROCESSING, absent from older headers.
constexpr DWORD kVirtualTerminal = 0x0004;

enum class Input { kConsole, kPipe, kNone };

// True for a key that was pressed, other than Shift, Ctrl and Alt alone.
bool IsKeyPress(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) {
        return false;
    }
    const WORD key = record.Event.KeyEvent.wVirtualKeyCode;
    return key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU;
}

// Reads the console's pending input events: true when a key was pressed
// among them. `*failed` is set when the console cannot be read.
bool ReadConsoleKey(HANDLE input, bool* failed) {
    INPUT_RECORD records[16];
    DWORD count = 0;
    if (!ReadConsoleInputA(input, records, 16, &count)) {
        *failed = true;
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (IsKeyPress(records[i])) {
            return true;
        }
    }
    return false;
}

// Waits on a thread of its own for one byte of a piped standard input: a
// pipe can be neither waited on nor, under Wine, peeked. The thread is left
// blocked when no byte comes; the process ends it as it exits.
DWORD WINAPI ReadPipeKey(LPVOID input) {
    char key = 0;
    DWORD got = 0;
    if (ReadFile(static_cast<HANDLE>(input), &key, 1, &got, nullptr) && got > 0) {
        pipeKey = true;
    }
    return 0;
}

}  // namespace

struct WatchTerminal::State {
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    Input kind = Input::kNone;
    bool screen = false;     // stdout is a console
    bool sequences = false;  // the console understands escape sequences
    DWORD savedOutputMode = 0;
    bool shown = false;
};

WatchTerminal::WatchTerminal() : state_(new State) {
    interrupted = false;
    SetConsoleCtrlHandler(OnControl, TRUE);
    state_->input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (state_->input != nullptr && state_->input != INVALID_HANDLE_VALUE) {
        if (GetConsoleMode(state_->input, &mode)) {
            state_->kind = Input::kConsole;
        } else if (GetFileType(state_->input) == FILE_TYPE_PIPE) {
            pipeKey = false;
            const HANDLE reader = CreateThread(nullptr, 0, ReadPipeKey, state_->input, 0, nullptr);
            if (reader != nullptr) {
                CloseHandle(reader);
                state_->kind = Input::kPipe;
            }
        }
    }
    state_->output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (state_->output != nullptr && GetConsoleMode(state_->output, &state_->savedOutputMode)) {
        state_->screen = true;
        state_->sequences =
            SetConsoleMode(state_->output, state_->savedOutputMode | kVirtualTerminal) != 0;
    }
}

WatchTerminal::~WatchTerminal() {
    std::fflush(stdout);
    if (state_->sequences) {
        SetConsoleMode(state_->output, state_->savedOutputMode);
    }
    SetConsoleCtrlHandler(OnControl, FALSE);
}

bool WatchTerminal::Show(const std::string& text) {
    if (state_->screen && !state_->sequences) {
        // A console without escape sequences: blank its buffer and start at
        // the top, where the picture is written as the first one.
        std::fflush(stdout);
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(state_->output, &info)) {
            const DWORD cells = static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y;
            const COORD top = {0, 0};
            DWORD written = 0;
            FillConsoleOutputCharacterA(state_->output, ' ', cells, top, &written);
            FillConsoleOutputAttribute(state_->output, info.wAttributes, cells, top, &written);
            SetConsoleCursorPosition(state_->output, top);
        }
        state_->shown = false;
    }
    return WriteFrame(text, state_->sequences, &state_->shown);
}

bool WatchTerminal::WaitForKey(unsigned milliseconds) {
    return WaitInSlices(
        milliseconds, kSliceMs, [] { return interrupted.load(); },
        [this](int64_t slice) {
            const DWORD wait = static_cast<DWORD>(slice);
            if (state_->kind == Input::kPipe) {
                if (pipeKey) {
                    return true;
                }
            } else if (state_->kind == Input::kConsole) {
                bool failed = false;
                const bool key = WaitForSingleObject(state_->input, wait) == WAIT_OBJECT_0 &&
                                 ReadConsoleKey(state_->input, &failed);
                if (failed) {
                    state_->kind = Input::kNone;
                }
                return key;
            }
            Sleep(wait);
            return false;
        });
}

}  // namespace platform
