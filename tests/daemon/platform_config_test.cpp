// The platform's facts as the daemon and zelkctl read config.xml with them:
// the socket library's byte order and addresses, the platform's separator,
// the system's error texts.
#include "daemon/platform_config.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "../support/temp_folder.h"
#include "markup/markup.h"
#include "platform/error_text.h"
#include "platform/system.h"
#include "platform/tcp_client.h"
#include "supervision/config_walk.h"

namespace {

TEST(PlatformConfig, TheWalkGivesWhatTheConnectCallTakes) {
    CXmlDocument document;
    ASSERT_TRUE(
        document.SetDocText("<config><app name=\"a\"><socket ip=\"127.0.0.1\" port=\"8080\"/>"
                            "<subApp><fileMonitor>x</fileMonitor></subApp></app></config>"));
    std::vector<std::unique_ptr<AppConfig>> apps;
    WalkConfigDocument(document, PlatformFacts(),
                       [&](std::unique_ptr<AppConfig> app) { apps.push_back(std::move(app)); });
    ASSERT_EQ(apps.size(), 1u);
    const Ipv4SocketAddress& address = apps[0]->address;
    EXPECT_EQ(address.family, platform::kIpv4Family);
    const unsigned char* port = reinterpret_cast<const unsigned char*>(&address.port);
    EXPECT_EQ(port[0], 0x1F);  // network byte order: 8080 is 0x1F90
    EXPECT_EQ(port[1], 0x90);
    const unsigned char* ip = reinterpret_cast<const unsigned char*>(&address.address);
    EXPECT_EQ(ip[0], 127);
    EXPECT_EQ(ip[3], 1);
    EXPECT_EQ(apps[0]->fileMonitor[0], std::string("x") + platform::kPathSeparator);
}

TEST(PlatformConfig, AFileThatCannotBeReadIsToldInTheSystemsWords) {
    testing_support::TempFolder folder;
    PlatformConfigProbe probe;
    const ConfigCheck check =
        CheckConfigFile(folder.WithSeparator() + "missing.xml", folder.WithSeparator(), probe);
    ASSERT_EQ(check.findings.size(), 1u);
    EXPECT_EQ(
        check.findings[0].text.rfind(
            "not loaded (cannot be read: " + platform::ErrorText(check.outcome.systemError) + "): ",
            0),
        0u)
        << check.findings[0].text;
}

}  // namespace
