#include "supervision/control_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ControlRequest, ValidRequestsAreRead) {
    ParsedRequest p = ParseControlRequest(
        R"({"v":1,"op":"pause","app":"Recorder","reason":"update \u00e9","seconds":7200})");
    ASSERT_EQ(p.fault, RequestFault::kNone) << p.message;
    EXPECT_EQ(p.request.op, ControlOp::kPause);
    EXPECT_EQ(p.request.app, "Recorder");
    EXPECT_EQ(p.request.reason, "update \xC3\xA9");
    EXPECT_EQ(p.request.seconds, 7200);

    p = ParseControlRequest(R"({"op":"reload","dryRun":true,"v":1})");
    ASSERT_EQ(p.fault, RequestFault::kNone) << p.message;
    EXPECT_TRUE(p.request.dryRun);
    EXPECT_EQ(ParseControlRequest(R"({"v":1,"op":"status"})").request.op, ControlOp::kStatus);
}

TEST(ControlRequest, FormattedRequestsReadBackTheSame) {
    ControlRequest request;
    request.op = ControlOp::kRestart;
    request.app = "A \"quoted\" name";
    request.reason = "x\\y";
    const ParsedRequest p = ParseControlRequest(FormatControlRequest(request));
    ASSERT_EQ(p.fault, RequestFault::kNone) << p.message;
    EXPECT_EQ(p.request.app, request.app);
    EXPECT_EQ(p.request.reason, request.reason);
    EXPECT_EQ(FormatControlRequest(request).find('\n'), std::string::npos);
}

TEST(ControlRequest, BadLinesAreFaultsWithTheirCode) {
    struct Case {
        std::string line;
        RequestFault fault;
    };
    const Case cases[] = {
        {"", RequestFault::kMalformed},
        {"garbage", RequestFault::kMalformed},
        {"[1,2]", RequestFault::kMalformed},
        {R"({"v":1,"op":"status"} trailing)", RequestFault::kMalformed},
        {std::string(10, '[') + std::string(10, ']'), RequestFault::kMalformed},
        {std::string(100000, '{'), RequestFault::kTooLong},
        {"{\"v\":1,\"op\":\"pause\",\"app\":\"a\",\"reason\":\"\xFF\"}", RequestFault::kMalformed},
        {R"({"op":"status"})", RequestFault::kVersion},
        {R"({"v":2,"op":"status"})", RequestFault::kVersion},
        {R"({"v":"1","op":"status"})", RequestFault::kVersion},
        {R"({"v":1})", RequestFault::kUnknownOp},
        {R"({"v":1,"op":"shell"})", RequestFault::kUnknownOp},
        {R"({"v":1,"op":"pause","app":"a"})", RequestFault::kBadField},
        {R"({"v":1,"op":"pause","app":"","reason":"r"})", RequestFault::kBadField},
        {R"({"v":1,"op":"pause","app":"a","reason":"r\nFATAL"})", RequestFault::kBadField},
        {R"({"v":1,"op":"pause","app":"a","reason":"r","seconds":0})", RequestFault::kBadField},
        {R"({"v":1,"op":"pause","app":"a","reason":"r","seconds":1.5})", RequestFault::kBadField},
        {R"({"v":1,"op":"pause","app":"a","reason":"r","seconds":1e99})", RequestFault::kBadField},
        {R"({"v":1,"op":"resume","app":7})", RequestFault::kBadField},
        {R"({"v":1,"op":"resume","app":"a","reason":"r"})", RequestFault::kBadField},
        {R"({"v":1,"op":"reload","dryrun":true})", RequestFault::kBadField},
        {R"({"v":1,"op":"reload","dryRun":1})", RequestFault::kBadField},
        {R"({"v":1,"op":"status","cmd":"rm -rf /"})", RequestFault::kBadField},
    };
    for (const Case& c : cases) {
        const ParsedRequest p = ParseControlRequest(c.line);
        EXPECT_EQ(p.fault, c.fault) << c.line.substr(0, 80);
        EXPECT_FALSE(p.message.empty()) << c.line.substr(0, 80);
    }
}

TEST(ControlAnswer, ReadsBackWhatWasWritten) {
    ControlAnswer answer;
    answer.ok = true;
    answer.message = "paused";
    answer.app = "Recorder";
    answer.untilMs = 1765000000000;
    answer.pauses.push_back({"Recorder", "root", "update", 1764990000000, 1765000000000});
    ControlAnswer read;
    ASSERT_TRUE(ParseControlAnswer(FormatControlAnswer(answer), &read));
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.untilMs, answer.untilMs);
    ASSERT_EQ(read.pauses.size(), 1u);
    EXPECT_EQ(read.pauses[0].by, "root");
    EXPECT_EQ(read.pauses[0].sinceMs, 1764990000000);

    // A reload's answer carries its changes, settings and findings.
    ControlAnswer reload;
    reload.ok = false;
    reload.error = "config_error";
    reload.message = "config.xml not reloaded";
    reload.dryRun = true;
    reload.changes.push_back({"Recorder", "changed", {"port", "path"}});
    reload.changes.push_back({"Camera", "added", {}});
    reload.settings = {"journal"};
    reload.findings = {"config.xml: no application"};
    ASSERT_TRUE(ParseControlAnswer(FormatControlAnswer(reload), &read));
    EXPECT_TRUE(read.dryRun);
    ASSERT_EQ(read.changes.size(), 2u);
    EXPECT_EQ(read.changes[0].fields, (std::vector<std::string>{"port", "path"}));
    EXPECT_EQ(read.changes[1].change, "added");
    EXPECT_EQ(read.settings, reload.settings);
    EXPECT_EQ(read.findings, reload.findings);
    EXPECT_FALSE(ParseControlAnswer(R"({"ok":true,"message":"","changes":[{"app":1}]})", &read));
    EXPECT_FALSE(ParseControlAnswer(R"({"ok":true,"message":"","findings":"x"})", &read));

    // A name in the ANSI code page still makes one valid line.
    answer.app = "\xD6\xD0";
    EXPECT_TRUE(ParseControlAnswer(FormatControlAnswer(answer), &read));
    EXPECT_FALSE(ParseControlAnswer("{\"ok\":true}", &read));
    EXPECT_FALSE(ParseControlAnswer("{\"ok\":1,\"message\":\"\"}", &read));
    EXPECT_FALSE(ParseControlAnswer("not json", &read));
}

}  // namespace
