#include "platform/watch_terminal.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/system.h"
#include "screen_frame.h"

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
constexpr DWORD kSliceMs = 100;

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

void WatchTerminal::Show(const std::string& text) {
    std::string out;
    if (state_->sequences) {
        out = RedrawWithSequences(text, !state_->shown);
    } else if (state_->screen) {
        // A console without escape sequences: blank its buffer and start at the top.
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
        out = text;
    } else {
        out = (state_->shown ? "\n" : "") + text;
    }
    state_->shown = true;
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

bool WatchTerminal::WaitForKey(unsigned milliseconds) {
    const int64_t deadline = MonotonicMs() + milliseconds;
    for (;;) {
        if (interrupted) {
            return true;
        }
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0) {
            return false;
        }
        const DWORD slice = static_cast<DWORD>(std::min<int64_t>(left, kSliceMs));
        if (state_->kind == Input::kConsole) {
            if (WaitForSingleObject(state_->input, slice) != WAIT_OBJECT_0) {
                continue;
            }
            INPUT_RECORD records[16];
            DWORD count = 0;
            if (!ReadConsoleInputA(state_->input, records, 16, &count)) {
                state_->kind = Input::kNone;
                continue;
            }
            for (DWORD i = 0; i < count; ++i) {
                if (IsKeyPress(records[i])) {
                    return true;
                }
            }
        } else if (state_->kind == Input::kPipe && pipeKey) {
            return true;
        } else {
            Sleep(slice);
        }
    }
}

}  // namespace platform
