// Fakes of the watchdog's seams and a recorder of the lines its sink writes,
// so that the watchdog and its units run without sockets, processes, folders,
// shells or real time.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "daemon/connection.h"
#include "log/log_line.h"
#include "supervision/watchdog_log.h"
#include "supervision/watchdog_seams.h"

namespace testing_support {

// The log lines as "LEVEL|function|code|message" and the console text.
struct RecordingOutput final : LineOutput {
    std::vector<std::string> lines;
    std::string console;

    void Log(int level, int, const char* function, int32_t code,
             const std::string& message) override {
        lines.push_back(std::string(LogLevelName(level)) + "|" + function + "|" +
                        std::to_string(code) + "|" + message);
    }
    void Print(const std::string& text) override { console += text + "\n"; }
};

// The watchdog's sink as production has it, writing into a recorder.
struct RecordedLog {
    explicit RecordedLog(const AppConfig& app) : sink(app, output) {}
    const std::vector<std::string>& Lines() const { return output.lines; }
    const std::string& Console() const { return output.console; }

    RecordingOutput output;
    WatchdogLog sink;
};

// Virtual time: sleeps advance it and are recorded.
struct FakeClock final : WatchdogClock {
    int64_t now = 0;
    std::vector<unsigned> sleeps;
    int64_t NowMs() override { return now; }
    void SleepMs(unsigned milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
    }
};

struct RecordingShell final : ShellRunner {
    std::vector<std::string> commands;
    bool Run(const std::string& command, int32_t* code) override {
        commands.push_back(command);
        *code = 42;
        return true;
    }
};

// Counts `pictures` pictures and `xmlFiles` XML files in every folder asked.
struct FakeCounter final : FileCounter {
    int pictures = 0;
    int xmlFiles = 0;
    std::vector<std::string> folders;
    void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                    const std::string&) override {
        folders.push_back(folder);
        list.resize(list.size() + static_cast<size_t>(extension == "jpg" ? pictures : xmlFiles));
    }
};

// Records "close:<name>" and "open:<path>"; each termination finds
// `processes` processes.
struct FakeProcesses final : ProcessControl {
    std::vector<std::string> calls;
    int32_t processes = 1;
    TerminateOutcome Terminate(const std::string& name) override {
        calls.push_back("close:" + name);
        return TerminateOutcome{processes > 0 ? 1 : 0, processes};
    }
    LaunchOutcome Launch(const std::string& path) override {
        calls.push_back("open:" + path);
        LaunchOutcome launched;
        launched.started = true;
        launched.session = 1;
        return launched;
    }
};

// Records each request for dumps, and "dump:<name>" among `processes`'
// calls (when set); answers with `records`, or runs out of memory.
struct FakeEvidence final : EvidenceTaker {
    std::vector<EvidenceRequest> requests;
    std::vector<EvidenceRecord> records;
    FakeProcesses* processes = nullptr;
    bool outOfMemory = false;
    std::vector<EvidenceRecord> TakeEvidence(const AppConfig& app,
                                             const EvidenceRequest& request) override {
        requests.push_back(request);
        if (processes != nullptr) {
            processes->calls.push_back("dump:" + app.name);
        }
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        return records;
    }
};

// A connection whose every wait and read is scripted: each step is what one
// wait brings. When the script runs out, `whenDone` runs (a test stops the
// watchdog there) and every later wait times out.
struct FakeConnection final : Connection {
    struct StepScript {
        platform::WaitOutcome wait;
        std::string data;  // readable: the bytes one read brings; empty: the read fails
    };
    std::deque<StepScript> script;
    std::function<void()> whenDone;
    FakeClock* clock = nullptr;  // when set, a time-out lasts its wait on it
    int opens = 0;
    int closes = 0;
    int openFailures = 0;  // the next opens that fail
    int32_t lastError = 10035;
    int failedRead = 0;  // what a read that brings nothing returns: 0 closed, below 0 an error

    void Add(int times, platform::WaitOutcome wait, const std::string& data = std::string()) {
        for (int i = 0; i < times; ++i) {
            script.push_back({wait, data});
        }
    }
    bool Open(const Ipv4SocketAddress&, int32_t* error) override {
        ++opens;
        if (openFailures > 0) {
            --openFailures;
            *error = 10024;
            return false;
        }
        return true;
    }
    platform::WaitOutcome Wait(unsigned milliseconds) override {
        if (script.empty()) {
            if (whenDone) {
                whenDone();
            }
            return platform::WaitOutcome::kTimedOut;
        }
        current_ = script.front();
        script.pop_front();
        if (clock != nullptr && current_.wait == platform::WaitOutcome::kTimedOut) {
            clock->now += milliseconds;
        }
        return current_.wait;
    }
    int Read(char* buffer, int capacity) override {
        const int n = std::min(capacity, static_cast<int>(current_.data.size()));
        current_.data.copy(buffer, static_cast<size_t>(n));
        return n > 0 ? n : failedRead;
    }
    void Close() override { ++closes; }
    int32_t LastError() const override { return lastError; }

  private:
    StepScript current_{platform::WaitOutcome::kTimedOut, std::string()};
};

}  // namespace testing_support
