// The control channel's pipe on Windows: its descriptor as set (Wine keeps
// it but does not enforce it, so the descriptor is what can be checked),
// the console pipe's name, and the caller's token.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/control_channel.h"

namespace {

using platform::ControlOpenStatus;

std::string OwnSid() {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[512];
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
    CloseHandle(token);
    char* text = nullptr;
    EXPECT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
    std::string copy = text;
    LocalFree(text);
    return copy;
}

// The ACEs of an SDDL DACL, "(A;;GA;;;SY)" each, and whether it is protected
// from inheritance ("D:P"). Full access may read back as generic (GA) or as
// the pipe's own rights (FA).
struct Dacl {
    bool isProtected = false;
    std::vector<std::string> grants;  // the SIDs given full access
    std::vector<std::string> others;  // any other ACE
};

Dacl ReadDacl(const std::string& sddl) {
    Dacl dacl;
    dacl.isProtected = sddl.rfind("D:P", 0) == 0;
    for (std::size_t at = sddl.find('('); at != std::string::npos; at = sddl.find('(', at + 1)) {
        const std::string ace = sddl.substr(at + 1, sddl.find(')', at) - at - 1);
        const std::size_t sid = ace.rfind(';');
        const std::string head = ace.substr(0, sid);
        if (head == "A;;GA;;" || head == "A;;FA;;" || head == "A;;0x1f01ff;;") {
            dacl.grants.push_back(ace.substr(sid + 1));
        } else {
            dacl.others.push_back(ace);
        }
    }
    return dacl;
}

std::string TestChannel(const char* what) {
    return "\\\\.\\pipe\\ZELK_Daemon-test-" + std::string(what) + "-" +
           std::to_string(GetCurrentProcessId());
}

TEST(ControlPipe, TheDescriptorGrantsSystemAndAdministratorsOnly) {
    struct Case {
        bool serverUser;
        std::vector<std::string> grants;
    } cases[] = {{false, {"SY", "BA"}}, {true, {"SY", "BA", OwnSid()}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serverUser ? "console" : "service");
        platform::ControlServer server;
        platform::ControlAccess access;
        access.serverUser = c.serverUser;
        ASSERT_EQ(server.Open(TestChannel("dacl"), access).status, ControlOpenStatus::kOpen);
        const std::string text = server.AccessText();
        const Dacl dacl = ReadDacl(text);
        EXPECT_TRUE(dacl.isProtected) << text;
        EXPECT_EQ(dacl.grants, c.grants) << text;
        EXPECT_TRUE(dacl.others.empty()) << text;
    }
}

TEST(ControlPipe, TheConsolePipeIsNamedForItsFolderWhateverItsSpelling) {
    const std::string base = platform::ConsoleControlChannel("C:\\Zelk\\Station");
    EXPECT_EQ(base.rfind("\\\\.\\pipe\\ZELK_Daemon-", 0), 0u) << base;
    EXPECT_EQ(base.size(), std::string("\\\\.\\pipe\\ZELK_Daemon-").size() + 16);
    for (const char* same : {"c:\\zelk\\station", "C:/Zelk/Station", "C:\\Zelk\\Station\\"}) {
        EXPECT_EQ(platform::ConsoleControlChannel(same), base) << same;
    }
    EXPECT_NE(platform::ConsoleControlChannel("C:\\Zelk\\Other"), base);
    EXPECT_EQ(platform::ServiceControlChannel(), "\\\\.\\pipe\\ZELK_Daemon");
}

TEST(ControlPipe, TheCallerIsKnownByItsToken) {
    const std::string channel = TestChannel("token");
    platform::ControlServer server;
    platform::ControlAccess access;
    access.serverUser = true;
    ASSERT_EQ(server.Open(channel, access).status, ControlOpenStatus::kOpen);
    platform::ControlCallResult result;
    std::thread client([&] { result = platform::CallControlChannel(channel, "ping", 5000); });
    platform::ControlStop stop;
    platform::ControlEvent event;
    for (int i = 0; i < 50 && event.kind != platform::ControlEventKind::kRequest; ++i) {
        event = server.Next(stop, 100);
    }
    ASSERT_EQ(event.kind, platform::ControlEventKind::kRequest);
    server.Answer(event.client, "ok");
    client.join();
    EXPECT_EQ(result.answer, "ok") << result.error;

    const platform::CallerIdentity& caller = event.caller;
    EXPECT_TRUE(caller.known);
    EXPECT_EQ(caller.processId, static_cast<int64_t>(GetCurrentProcessId()));
    EXPECT_TRUE(caller.isServerUser);
    char name[256];
    DWORD size = sizeof(name);
    ASSERT_TRUE(GetUserNameA(name, &size));
    const std::string suffix = std::string("\\") + name;
    EXPECT_TRUE(caller.user.size() > suffix.size() &&
                caller.user.compare(caller.user.size() - suffix.size(), suffix.size(), suffix) == 0)
        << caller.user;
    EXPECT_EQ(caller.userId, -1);
}

}  // namespace
