// Points the process log at a private folder with a fixed clock for one
// test, and reads back what was written there.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "log/log_writer.h"
#include "platform/system.h"

namespace testing_support {

class LogCapture {
  public:
    LogCapture() {
        ProcessLogWriter().Reset(
            folder_.WithSeparator(), [this] { return now_; }, [](const char*) {});
    }
    ~LogCapture() {
        ProcessLogWriter().Reset(platform::FolderOf(platform::ExecutablePath()),
                                 platform::CurrentTime, platform::DebugOutput);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line written so far, as "LEVEL|function|code|message".
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const std::string& line :
             SplitLines(ReadWholeFile(ProcessLogWriter().FilePathFor(now_)))) {
            std::size_t levelEnd = line.find("--", 2);
            std::size_t function = line.find("]  ", line.find("[Line:")) + 3;
            std::size_t colon = line.find(" : ", function);
            std::size_t comma = line.find(" , ", colon);
            out.push_back(line.substr(2, levelEnd - 2) + "|" +
                          line.substr(function, colon - function) + "|" +
                          line.substr(colon + 3, comma - colon - 3) + "|" + line.substr(comma + 3));
        }
        return out;
    }

  private:
    TempFolder folder_;
    int64_t now_ = 1765195200;
};

}  // namespace testing_support
