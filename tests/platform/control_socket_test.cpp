// The control channel's socket file on POSIX: its mode and group as made, a
// stale one replaced and anything else of its name left alone, a path longer
// than a socket address, the caller's credentials, and another user refused
// with the rule in words.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "../support/temp_folder.h"
#include "platform/control_channel.h"

namespace {

using platform::ControlOpenStatus;
namespace fs = std::filesystem;

constexpr unsigned kCallMs = 5000;
constexpr uid_t kNobody = 65534;

std::string OwnGroupName() {
    const group* entry = getgrgid(getegid());
    return entry != nullptr ? entry->gr_name : "";
}

// Answers one request with "ok" on a thread, then stops.
class OneAnswer {
  public:
    explicit OneAnswer(platform::ControlServer& server)
        : thread_([&server, this] {
              for (int waits = 0; waits < 100; ++waits) {
                  platform::ControlEvent event = server.Next(stop_, 100);
                  if (event.kind == platform::ControlEventKind::kStopped) {
                      return;
                  }
                  if (event.kind == platform::ControlEventKind::kRequest) {
                      caller = event.caller;
                      server.Answer(event.client, "ok");
                      return;
                  }
              }
          }) {}
    ~OneAnswer() {
        stop_.Raise();
        thread_.join();
    }
    platform::CallerIdentity caller;

  private:
    platform::ControlStop stop_;
    std::thread thread_;
};

class ControlSocketTest : public ::testing::Test {
  protected:
    std::string Channel() const { return (folder.path() / "control.sock").string(); }
    testing_support::TempFolder folder;
    platform::ControlServer server;
};

TEST_F(ControlSocketTest, TheSocketIsTheOwnersOrItsGroupsAndGoesWithTheServer) {
    const std::string groupName = OwnGroupName();
    ASSERT_FALSE(groupName.empty());
    struct Case {
        std::string group;
        mode_t mode;
    } cases[] = {{"", 0600}, {groupName, 0660}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        platform::ControlAccess access;
        access.group = c.group;
        ASSERT_EQ(server.Open(Channel(), access).status, ControlOpenStatus::kOpen);
        struct stat info {};
        ASSERT_EQ(lstat(Channel().c_str(), &info), 0);
        EXPECT_TRUE(S_ISSOCK(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        EXPECT_EQ(info.st_uid, geteuid());
        EXPECT_EQ(info.st_gid, getegid());
        char mode[8];
        std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(c.mode));
        EXPECT_EQ(server.AccessText(), std::string(mode) + " " + groupName);
        server.Close();
        EXPECT_FALSE(fs::exists(fs::symlink_status(Channel())));
    }

    platform::ControlAccess unknown;
    unknown.group = "zelk-no-such-group";
    const platform::ControlOpenResult opened = server.Open(Channel(), unknown);
    EXPECT_EQ(opened.status, ControlOpenStatus::kUnknownGroup);
    EXPECT_NE(opened.text.find("zelk-no-such-group"), std::string::npos) << opened.text;
    EXPECT_FALSE(fs::exists(fs::symlink_status(Channel())));
}

TEST_F(ControlSocketTest, AStaleSocketIsReplacedAndNothingElseIsTouched) {
    // The file of a server that has gone: bound, never listening.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, Channel().c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(stale);
    ASSERT_EQ(server.Open(Channel(), platform::ControlAccess()).status, ControlOpenStatus::kOpen);
    {
        OneAnswer answer(server);
        EXPECT_EQ(platform::CallControlChannel(Channel(), "ping", kCallMs).answer, "ok");
    }
    server.Close();

    const fs::path target = folder.path() / "target";
    std::ofstream(target) << "keep";
    const struct {
        const char* name;
        void (*plant)(const fs::path& at, const fs::path& target);
    } planted[] = {
        {"regular file", [](const fs::path& at, const fs::path&) { std::ofstream(at) << "keep"; }},
        {"link to a file",
         [](const fs::path& at, const fs::path& to) { fs::create_symlink(to, at); }},
        {"dangling link",
         [](const fs::path& at, const fs::path& to) { fs::create_symlink(to.string() + "x", at); }},
        {"FIFO", [](const fs::path& at, const fs::path&) { mkfifo(at.c_str(), 0600); }},
        {"folder", [](const fs::path& at, const fs::path&) { fs::create_directory(at); }},
    };
    for (const auto& plant : planted) {
        SCOPED_TRACE(plant.name);
        plant.plant(Channel(), target);
        struct stat before {};
        ASSERT_EQ(lstat(Channel().c_str(), &before), 0);
        const platform::ControlOpenResult opened =
            server.Open(Channel(), platform::ControlAccess());
        EXPECT_EQ(opened.status, ControlOpenStatus::kNameTaken);
        EXPECT_NE(opened.text.find("left as it is"), std::string::npos) << opened.text;
        server.Close();
        struct stat after {};
        ASSERT_EQ(lstat(Channel().c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(testing_support::ReadWholeFile(target), "keep");
        fs::remove(Channel());
    }
}

TEST_F(ControlSocketTest, APathLongerThanASocketAddressIsReachedThroughItsFolder) {
    fs::path deep = folder.path() / std::string(100, 'd') / std::string(100, 'e');
    fs::create_directories(deep);
    const std::string channel = (deep / "control.sock").string();
    ASSERT_GT(channel.size(), sizeof(sockaddr_un::sun_path));
    ASSERT_EQ(server.Open(channel, platform::ControlAccess()).status, ControlOpenStatus::kOpen);
    struct stat info {};
    ASSERT_EQ(lstat(channel.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    OneAnswer answer(server);
    platform::ControlCallResult result = platform::CallControlChannel(channel, "ping", kCallMs);
    EXPECT_EQ(result.answer, "ok") << result.error;

    // A name that alone is too long for an address is said to be so.
    platform::ControlServer tooLong;
    const platform::ControlOpenResult opened =
        tooLong.Open((folder.path() / std::string(120, 'n')).string(), platform::ControlAccess());
    EXPECT_EQ(opened.status, ControlOpenStatus::kPathTooLong);
    EXPECT_NE(opened.text.find("longer than a socket address holds (107 bytes)"), std::string::npos)
        << opened.text;
}

TEST_F(ControlSocketTest, TheCallerIsKnownByItsCredentials) {
    const std::string own = OwnGroupName();
    const group* other = getgrnam("nogroup");
    struct Case {
        std::string group;
        bool inGroup;
    } cases[] = {{own, true}, {"", false}, {other != nullptr ? other->gr_name : "", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        platform::ControlAccess access;
        access.group = c.group;
        ASSERT_EQ(server.Open(Channel(), access).status, ControlOpenStatus::kOpen);
        platform::CallerIdentity caller;
        {
            OneAnswer answer(server);
            ASSERT_EQ(platform::CallControlChannel(Channel(), "ping", kCallMs).answer, "ok");
            caller = answer.caller;
        }
        server.Close();
        EXPECT_TRUE(caller.known);
        EXPECT_EQ(caller.processId, getpid());
        EXPECT_EQ(caller.userId, static_cast<int64_t>(geteuid()));
        EXPECT_EQ(caller.groupId, static_cast<int64_t>(getegid()));
        EXPECT_EQ(caller.user, getpwuid(geteuid())->pw_name);
        EXPECT_EQ(caller.isSystem, geteuid() == 0);
        EXPECT_TRUE(caller.isServerUser);
        EXPECT_EQ(caller.inGroup, c.inGroup);
    }
}

// Another user, as the system refuses it: a child process of the test that
// has become nobody. Only root can make one.
TEST_F(ControlSocketTest, AnotherUserIsDeniedWithTheRuleInWords) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    struct Case {
        std::string group;
        std::string rule;
    } cases[] = {
        {"", "only root may use it"},
        {OwnGroupName(), "only root or members of group " + OwnGroupName() + " may use it"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        platform::ControlAccess access;
        access.group = c.group;
        ASSERT_EQ(server.Open(Channel(), access).status, ControlOpenStatus::kOpen);
        chmod(folder.path().c_str(), 0755);
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            const bool dropped =
                setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
            platform::ControlCallResult result =
                platform::CallControlChannel(Channel(), "ping", kCallMs);
            const std::string said = dropped ? result.error : "could not become nobody";
            ssize_t ignored = write(pipeEnds[1], said.data(), said.size());
            (void)ignored;
            _exit(result.status == platform::ControlCallStatus::kDenied ? 0 : 1);
        }
        close(pipeEnds[1]);
        std::string said;
        char chunk[256];
        for (ssize_t n; (n = read(pipeEnds[0], chunk, sizeof(chunk))) > 0;) {
            said.append(chunk, static_cast<std::size_t>(n));
        }
        close(pipeEnds[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
        EXPECT_EQ(said, "permission denied on " + Channel() + ": " + c.rule);
        server.Close();
    }
}

}  // namespace
