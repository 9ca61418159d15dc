// Shared by the supervisor tests: the process log redirected to a private
// folder, its lines read back, polling with a limit, and copies of the
// stand-in application under names of the test's choosing.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_folder.h"
#include "../support/wait_until.h"
#include "log/log_writer.h"
#include "platform/process.h"
#include "platform/system.h"

namespace testing_support {

struct LogLine {
    std::string level;
    std::string function;
    int code;
    std::string message;
};

class SupervisorFixture : public ::testing::Test {
  protected:
    TempFolder folder;
    int64_t now = 1765195200;

    void SetUp() override {
        LostLines() = 0;
        ProcessLogWriter().Reset(
            folder.WithSeparator(), [this] { return now; }, [](const char*) { ++LostLines(); });
    }
    // Lines the log writer could not write (reported to its debug channel).
    static std::atomic<int>& LostLines() {
        static std::atomic<int> lost{0};
        return lost;
    }
    void TearDown() override {
        ProcessLogWriter().Reset(platform::FolderOf(platform::ExecutablePath()),
                                 platform::CurrentTime, platform::DebugOutput);
    }

    std::vector<LogLine> Log() const {
        std::vector<LogLine> lines;
        for (const std::string& line :
             SplitLines(ReadWholeFile(ProcessLogWriter().FilePathFor(now)))) {
            std::size_t levelEnd = line.find("--", 2);
            std::size_t function = line.find("]  ", line.find("[Line:")) + 3;
            std::size_t colon = line.find(" : ", function);
            std::size_t comma = line.find(" , ", colon);
            lines.push_back({line.substr(2, levelEnd - 2), line.substr(function, colon - function),
                             std::stoi(line.substr(colon + 3, comma - colon - 3)),
                             line.substr(comma + 3)});
        }
        return lines;
    }

    // The messages logged under `function`, in order.
    std::vector<std::string> Messages(const std::string& function) const {
        std::vector<std::string> out;
        for (const LogLine& line : Log()) {
            if (line.function == function) {
                out.push_back(line.message);
            }
        }
        return out;
    }

    // Polls `done` every 10 ms for up to `seconds`.
    static bool WaitUntil(const std::function<bool()>& done, int seconds = 15) {
        return testing_support::WaitUntil(done, seconds);
    }

    // A copy of the stand-in application named `stem` plus the platform's
    // executable suffix, in `subfolder` of the test folder; returns its path.
    std::string CopyTestApp(const std::string& subfolder, const std::string& stem) {
        std::filesystem::path source =
            std::filesystem::path(platform::FolderOf(platform::ExecutablePath())) /
            ZELK_TEST_APP_NAME;
        std::filesystem::path target = folder.path() / subfolder;
        std::filesystem::create_directories(target);
        target /= stem + source.extension().string();
        std::filesystem::copy_file(source, target,
                                   std::filesystem::copy_options::overwrite_existing);
        return target.string();
    }

    static std::string FileName(const std::string& path) {
        return std::filesystem::path(path).filename().string();
    }

    // Processes whose executable file name is exactly `name`.
    static int CountProcesses(const std::string& name) {
        std::vector<platform::ProcessEntry> processes;
        platform::ListProcesses(&processes);
        int count = 0;
        for (const platform::ProcessEntry& process : processes) {
            count += process.exeName == name ? 1 : 0;
        }
        return count;
    }

    // A name no other test run on this machine uses.
    static std::string UniqueStem(const std::string& base) {
        return base + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() %
                                     1000000007);
    }
};

}  // namespace testing_support
