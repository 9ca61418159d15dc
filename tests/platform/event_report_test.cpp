// The journal side of the administrator's log: one line with the syslog
// priority prefix on standard error, and no wait when its reader lags.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "platform/event_report.h"

namespace {

using platform::EventType;

// Puts `fd` in the place of standard error until destroyed.
class StderrRedirect {
  public:
    explicit StderrRedirect(int fd) : saved_(dup(STDERR_FILENO)) { dup2(fd, STDERR_FILENO); }
    ~StderrRedirect() {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }

  private:
    int saved_;
};

// Everything written to `fd` so far, without waiting.
std::string ReadAvailable(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Fills the sending side of a stream socket until it takes no more.
void Fill(int fd) {
    std::string block(65536, 'f');
    while (send(fd, block.data(), block.size(), MSG_DONTWAIT) > 0) {
    }
}

// Under systemd standard error is a stream socket; started from a shell it
// may be a pipe. Either takes each line whole.
TEST(EventReport, EachLevelGetsTheJournalsPriorityPrefix) {
    int pair[2];
    int pipeEnds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ASSERT_EQ(pipe(pipeEnds), 0);
    for (auto [writer, reader] :
         {std::pair{pair[0], pair[1]}, std::pair{pipeEnds[1], pipeEnds[0]}}) {
        {
            StderrRedirect redirect(writer);
            EXPECT_TRUE(platform::ReportAdministratorEvent(EventType::kError, 3003, {"a"},
                                                           "event 3003: e"));
            EXPECT_TRUE(
                platform::ReportAdministratorEvent(EventType::kWarning, 2002, {}, "event 2002: w"));
            EXPECT_TRUE(platform::ReportAdministratorEvent(EventType::kInformation, 1001, {},
                                                           "event 1001: i"));
        }
        EXPECT_EQ(ReadAvailable(reader), "<3>event 3003: e\n<4>event 2002: w\n<6>event 1001: i\n");
    }
    for (int fd : {pair[0], pair[1], pipeEnds[0], pipeEnds[1]}) {
        close(fd);
    }
}

// A journal (socket) or a pipe whose reader does not keep up: the report is
// dropped at once, never waited for.
TEST(EventReport, AFullStreamDropsTheLineWithoutWaiting) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    // Filled through a non-blocking flag, which is then cleared, so the
    // report meets a blocking pipe as standard error usually is.
    int flags = fcntl(pipeEnds[1], F_GETFL);
    fcntl(pipeEnds[1], F_SETFL, flags | O_NONBLOCK);
    std::string block(65536, 'f');
    while (write(pipeEnds[1], block.data(), block.size()) > 0) {
    }
    fcntl(pipeEnds[1], F_SETFL, flags);
    Fill(pair[0]);

    for (int fd : {pair[0], pipeEnds[1]}) {
        StderrRedirect redirect(fd);
        auto start = std::chrono::steady_clock::now();
        bool reported = platform::ReportAdministratorEvent(EventType::kWarning, 2002, {}, "x");
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(reported);
        EXPECT_LT(took, std::chrono::milliseconds(500));
    }

    // Room for one page, and a line longer than that: the page is written,
    // the rest dropped after a short wait (before, the write blocked until
    // a reader came); the next line starts on a line of its own.
    std::string page(4096, '\0');
    ASSERT_EQ(read(pipeEnds[0], &page[0], page.size()), 4096);
    {
        StderrRedirect redirect(pipeEnds[1]);
        std::atomic<bool> returned{false};
        std::thread report([&] {
            EXPECT_FALSE(platform::ReportAdministratorEvent(EventType::kWarning, 1005, {},
                                                            std::string(5000, 'p')));
            returned = true;
        });
        for (int i = 0; i < 200 && !returned; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const bool inTime = returned;
        std::string drained = ReadAvailable(pipeEnds[0]);  // lets a blocked write end
        report.join();
        EXPECT_TRUE(inTime) << "the report waited for the reader";
        EXPECT_TRUE(platform::ReportAdministratorEvent(EventType::kWarning, 2002, {}, "y"));
        drained += ReadAvailable(pipeEnds[0]);
        EXPECT_EQ(drained.substr(drained.size() - 7), "p\n<4>y\n");
    }
    for (int fd : {pair[0], pair[1], pipeEnds[0], pipeEnds[1]}) {
        close(fd);
    }
}

}  // namespace
