// What the dump tests share: a temporary folder with an evidence folder in
// it, and a copy of the stand-in application under a name of its own,
// started as the daemon starts applications and found by that name.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "../support/wait_until.h"
#include "platform/process.h"
#include "platform/process_dump.h"
#include "platform/system.h"

namespace testing_support {

class DumpFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(evidence);
        if (!WriterAvailable()) {
            GTEST_SKIP() << "no dump writer here (natively: gdb's gcore is not installed)";
        }
    }

    void TearDown() override {
        if (standInId != 0) {
            int32_t error = 0;
            platform::TerminateProcessById(standInId, &error);
            // Its executable cannot be removed on Win32 while it runs.
            WaitUntil([&] { return !IsRunning(standInId); });
        }
    }

    // Starts the stand-in holding `mebibytes` of written memory; its process id.
    uint32_t StartStandIn(int mebibytes = 0) {
        const std::filesystem::path source =
            std::filesystem::path(platform::FolderOf(platform::ExecutablePath())) /
            ZELK_DUMP_STAND_IN_NAME;
        const std::filesystem::path app = folder.path() / "app";
        std::filesystem::create_directories(app);
        standIn = (app / ("zelk_dump_" + Stamp() + source.extension().string())).string();
        std::filesystem::copy_file(source, standIn);
        std::filesystem::remove(marker);
        const std::string command =
            "\"" + standIn + "\" \"" + marker.string() + "\" 300 " + std::to_string(mebibytes);
        int32_t error = 0;
        platform::UserIdentity* identity =
            platform::QueryUserIdentity(platform::ActiveSessionId(), &error);
        EXPECT_NE(identity, nullptr) << error;
        EXPECT_TRUE(platform::LaunchProgram(identity, command, &error)) << error;
        platform::ReleaseUserIdentity(identity);
        EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(marker); }, 60))
            << "the stand-in never started";
        const std::string name = std::filesystem::path(standIn).filename().string();
        std::vector<platform::ProcessEntry> processes;
        platform::ListProcesses(&processes);
        for (const platform::ProcessEntry& process : processes) {
            if (process.exeName == name) {
                standInId = process.id;
            }
        }
        EXPECT_NE(standInId, 0u) << "the stand-in is not among the processes";
        return standInId;
    }

    // Asked once, of a process that does not exist.
    bool WriterAvailable() const {
        static const bool available = platform::WriteProcessDump(0x7FFFFFF1u, DumpPath("probe.dmp"),
                                                                 platform::DumpKind::kMini)
                                          .result != platform::DumpResult::kNotAvailable;
        return available;
    }

    static bool IsRunning(uint32_t id) {
        std::vector<platform::ProcessEntry> processes;
        platform::ListProcesses(&processes);
        for (const platform::ProcessEntry& process : processes) {
            if (process.id == id) {
                return true;
            }
        }
        return false;
    }

    // The names in the evidence folder, hidden ones included.
    std::vector<std::string> EvidenceNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(evidence)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::string DumpPath(const std::string& name) const { return (evidence / name).string(); }

    static std::string Stamp() {
        return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() %
                              1000000007);
    }

    TempFolder folder;
    const std::filesystem::path evidence = folder.path() / "evidence";
    const std::filesystem::path marker = folder.path() / "marker.txt";
    std::string standIn;  // the copy of the stand-in's executable
    uint32_t standInId = 0;
};

}  // namespace testing_support
