// The journal's reader: the JSON grammar of one line (against the JSON
// library the daemon writes with), lines turned into events, and a file's
// text with its torn and broken lines.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "zelkctl/journal_line.h"
#include "zelkctl/journal_reader.h"
#include "zelkctl/json_object.h"

namespace zelkctl {
namespace {

// Collects the top members as the library's JSON would show them again.
class Collect : public JsonMembers {
  public:
    void Member(std::string_view name, const JsonValue& value) override {
        nlohmann::json& slot = members[std::string(name)];
        switch (value.type) {
            case JsonValue::Type::kString:
                slot = std::string(value.string);
                break;
            case JsonValue::Type::kBool:
                slot = value.boolean;
                break;
            case JsonValue::Type::kNumber:
                slot = value.integral ? nlohmann::json(value.integer) : nlohmann::json("number");
                break;
            case JsonValue::Type::kArray:
                slot = value.stringArray ? nlohmann::json(*value.strings) : nlohmann::json("array");
                break;
            case JsonValue::Type::kObject:
                slot = "object";
                break;
            case JsonValue::Type::kNull:
                slot = nullptr;
                break;
        }
    }
    nlohmann::json members = nlohmann::json::object();
};

// The same members as the library reads them, reduced as Collect reduces.
nlohmann::json Reduced(const nlohmann::json& object) {
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [name, value] : object.items()) {
        if (value.is_number_integer() &&
            !(value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX})) {
            out[name] = value;
        } else if (value.is_number()) {
            out[name] = "number";
        } else if (value.is_array()) {
            bool strings = true;
            for (const auto& element : value) {
                strings = strings && element.is_string();
            }
            out[name] = strings ? value : nlohmann::json("array");
        } else if (value.is_object()) {
            out[name] = "object";
        } else {
            out[name] = value;
        }
    }
    return out;
}

const char* const kSampleLines[] = {
    R"({"time":"2026-12-09T03:14:15.123+01:00","event":"terminated","app":"sim_silent","index":1,"endpoint":"127.0.0.1:7102","cycle":"silent","count":30,"processes":1,"result":-1})",
    R"({"time":"2026-12-09T03:14:16.000+01:00","event":"launched","app":"Z\u00e4hl \"p\" \\ \/ \b\f\n\r\t \ud83d\ude82","ok":true,"error":0,"command":"C:\\t\\t.exe"})",
    R"({"time":"2026-12-09T03:14:17Z","event":"config_pitfalls","count":2,"findings":["a","b\u0001"],"x":{"y":[1,2.5e-3,{"z":null}]},"n":-9223372036854775808,"big":9223372036854775808})",
    R"(  {"a":[],"b":{},"c":[true,false,null,"s"],"d":-0,"e":0.5,"f":1E+2}  )",
    "{\"name\":\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x82\",\"k\":\"v\"}",
};

// Every prefix of each sample (a torn line) and many lines with a byte
// changed: this reader and the library must agree on which are objects and
// on the members they hold.
TEST(JsonObject, AgreesWithTheJsonLibraryOnTornAndDamagedLines) {
    std::mt19937 random(20261209);
    const char replacements[] = "{}[]\",:\\u0eE+-. \x01\x7f\x80\xbf\xc3\xed\xf4\xff";
    int accepted = 0;
    int refused = 0;
    for (const char* sample : kSampleLines) {
        const std::string line = sample;
        std::vector<std::string> variants;
        for (std::size_t cut = 0; cut <= line.size(); ++cut) {
            variants.push_back(line.substr(0, cut));
        }
        for (int n = 0; n < 3000; ++n) {
            std::string changed = line;
            changed[random() % changed.size()] = replacements[random() % (sizeof replacements - 1)];
            variants.push_back(changed);
        }
        for (const std::string& text : variants) {
            Collect mine;
            const bool ours = ReadJsonObject(text, mine);
            const nlohmann::json theirs = nlohmann::json::parse(text, nullptr, false);
            const bool object = !theirs.is_discarded() && theirs.is_object();
            ASSERT_EQ(ours, object) << text;
            if (ours) {
                EXPECT_EQ(mine.members, Reduced(theirs)) << text;
                ++accepted;
            } else {
                ++refused;
            }
        }
    }
    // Both outcomes were met many times.
    EXPECT_GT(accepted, 500);
    EXPECT_GT(refused, 500);
}

TEST(JsonObject, RefusesWhatIsNoSingleObject) {
    for (const std::string text : {"",
                                   " ",
                                   "[]",
                                   "\"s\"",
                                   "{} {}",
                                   "{}x",
                                   "{\"a\":1,}",
                                   "{\"a\" 1}",
                                   "{a:1}",
                                   "{\"a\":01}",
                                   "{\"a\":1.}",
                                   "{\"a\":.5}",
                                   "{\"a\":+1}",
                                   "{\"a\":tru}",
                                   "{\"a\":\"\\ud800\"}",
                                   "{\"a\":\"\\udc00\"}",
                                   "{\"a\":\"\\x\"}",
                                   "{\"a\":\"\xC0\xAF\"}",
                                   "{\"a\":\"\xED\xA0\x80\"}",
                                   "{\"a\":\"tab\there\"}"}) {
        Collect members;
        EXPECT_FALSE(ReadJsonObject(text, members)) << text;
    }
    // Nested deeper than the limit: refused, not a stack overflow.
    const std::string deep = "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
    Collect members;
    EXPECT_FALSE(ReadJsonObject(deep, members));
    const std::string limit =
        "{\"a\":" + std::string(kMaxJsonDepth - 1, '[') + std::string(kMaxJsonDepth - 1, ']') + "}";
    EXPECT_TRUE(ReadJsonObject(limit, members));
}

TEST(JournalLine, ReadsEachKindsFields) {
    Event e;
    ASSERT_TRUE(ParseJournalLine(kSampleLines[0], &e));
    EXPECT_EQ(e.kind, EventKind::kTerminated);
    EXPECT_EQ(e.timeMs, 1796782455123);  // 2026-12-09T02:14:15.123Z
    EXPECT_EQ(e.offsetMinutes, 60);
    EXPECT_EQ(e.app, "sim_silent");
    EXPECT_EQ(e.index, 1);
    EXPECT_EQ(e.endpoint, "127.0.0.1:7102");
    EXPECT_EQ(e.cycle, "silent");
    EXPECT_EQ(e.count, 30);
    EXPECT_EQ(e.result, -1);

    ASSERT_TRUE(ParseJournalLine(
        R"({"time":"2026-12-09T03:00:00.000+01:00","event":"launched","app":"a","index":"2","ok":false,"error":2,"session":1.5,"command":"run me","serial":77})",
        &e));
    EXPECT_EQ(e.kind, EventKind::kLaunched);
    EXPECT_EQ(e.index, -1);  // wrong types read as absent
    EXPECT_EQ(e.session, kNoNumber);
    EXPECT_EQ(e.ok, 0);
    EXPECT_EQ(e.error, 2);
    EXPECT_EQ(e.command, "run me");
    EXPECT_EQ(e.serial, "77");

    ASSERT_TRUE(ParseJournalLine(
        R"({"time":"2026-12-09T03:00:00+01:00","event":"resumed","after":"failing","count":4})",
        &e));
    EXPECT_EQ(e.cycle, "failing");
    ASSERT_TRUE(ParseJournalLine(
        R"({"event":"config_pitfalls","time":"2026-12-09T03:00:00+01:00","count":2,"findings":["x","y"]})",
        &e));
    EXPECT_EQ(e.findings, (std::vector<std::string>{"x", "y"}));
    // A kind of a newer daemon is kept under its name.
    ASSERT_TRUE(ParseJournalLine(R"({"time":"2026-12-09T03:00:00Z","event":"disk_full"})", &e));
    EXPECT_EQ(e.kind, EventKind::kUnknown);
    EXPECT_EQ(e.kindName, "disk_full");
}

TEST(JournalLine, AReusedEventKeepsNothingOfTheLineBefore) {
    Event e;
    ASSERT_TRUE(ParseJournalLine(
        R"({"time":"2026-12-09T03:00:00Z","event":"x","app":"a","index":1,"endpoint":"e","cycle":"c","version":"v","path":"p","report":"r","command":"m","key":"k","serial":"s","sub_app":"u","reason":"why","findings":["f"],"ok":true,"apps":1,"pid":1,"count":1,"waits":1,"code":1,"error":1,"session":1,"processes":1,"result":1,"vehicles":1,"pictures":1,"files":1,"discarded":1,"kept":1})",
        &e));
    ASSERT_TRUE(ParseJournalLine(R"({"time":"2026-12-09T03:00:01Z","event":"silence"})", &e));
    for (const std::string* text : {&e.app, &e.endpoint, &e.cycle, &e.version, &e.path, &e.report,
                                    &e.command, &e.key, &e.serial, &e.subApp, &e.reason}) {
        EXPECT_EQ(*text, "");
    }
    for (const int64_t number :
         {e.apps, e.pid, e.count, e.waits, e.code, e.error, e.session, e.processes, e.result,
          e.vehicles, e.pictures, e.files, e.discarded, e.kept}) {
        EXPECT_EQ(number, kNoNumber);
    }
    EXPECT_TRUE(e.findings.empty());
    EXPECT_EQ(e.index, -1);
    EXPECT_EQ(e.ok, -1);
}

TEST(JournalLine, RefusesObjectsThatAreNoEvent) {
    Event e;
    for (const char* line : {
             R"({"event":"connected"})",
             R"({"time":"2026-12-09T03:00:00+01:00"})",
             R"({"time":"2026-12-09 03:00","event":"connected"})",
             R"({"time":"2026-02-30T03:00:00Z","event":"connected"})",
             R"({"time":20261209,"event":"connected"})",
             R"({"time":"2026-12-09T03:00:00Z","event":""})",
             R"({"time":"2026-12-09T03:00:00Z","event":7})",
         }) {
        EXPECT_FALSE(ParseJournalLine(line, &e)) << line;
    }
}

// The events read from a text, each with its line.
struct Read {
    std::vector<Event> events;
    std::vector<std::string> lines;
    int64_t skipped = 0;
};

Read ReadText(const std::string& text, int64_t stopAtMs = INT64_MAX) {
    Read read;
    read.skipped = ReadJournalText(
        text,
        [&](const Event& event, std::string_view line) {
            read.events.push_back(event);
            read.lines.emplace_back(line);
        },
        stopAtMs);
    return read;
}

TEST(JournalText, SkipsTornAndBrokenLinesAndCountsThem) {
    const std::string text =
        "{\"time\":\"2026-12-09T01:00:00+01:00\",\"event\":\"daemon_started\",\"apps\":1}\r\n"
        "\n"
        "not json at all\n"
        "{\"time\":\"2026-12-09T01:00:03+01:00\",\"event\":\"connected\",\"app\":\"a\",\"index\":0}"
        "\n"
        "   \n"
        "{\"time\":\"2026-12-09T01:00:09+01:00\",\"event\":\"silence\",\"app\":\"a\",\"index\":0}\n"
        "{\"time\":\"2026-12-09T01:00:12+01:00\",\"event\":\"termin";
    const Read all = ReadText(text);
    ASSERT_EQ(all.events.size(), 3u);
    EXPECT_EQ(all.skipped, 2);  // blank lines are no damage
    EXPECT_EQ(all.events[0].kind, EventKind::kDaemonStarted);
    EXPECT_EQ(all.lines[0].back(), '}');  // the carriage return is not part of the line
    EXPECT_EQ(all.events[1].app, "a");
    EXPECT_EQ(all.events[2].kind, EventKind::kSilence);

    // A last line cut just before its line end is whole.
    const Read whole = ReadText(
        "{\"time\":\"2026-12-09T01:00:00+01:00\",\"event\":\"daemon_started\"}\n"
        "{\"time\":\"2026-12-09T01:00:03+01:00\",\"event\":\"connected\",\"app\":\"a\"}");
    EXPECT_EQ(whole.skipped, 0);
    EXPECT_EQ(whole.events.size(), 2u);

    // Reading stops after the first event at or after the stop time.
    const Read partial = ReadText(text, all.events[1].timeMs);
    EXPECT_EQ(partial.events.size(), 2u);
    EXPECT_EQ(partial.skipped, 1);

    EXPECT_EQ(SkippedLinesNote(0), "");
    EXPECT_EQ(SkippedLinesNote(1).find("1 line of the journal skipped"), 0u);
    EXPECT_EQ(SkippedLinesNote(2).find("2 lines of the journal skipped"), 0u);
}

TEST(JournalText, FindsADaemonStartWithoutReadingTheLines) {
    EXPECT_TRUE(MentionsDaemonStart("{\"time\":\"x\",\"event\":\"daemon_started\"}"));
    // A name inside a text carries its quotes escaped: no start.
    EXPECT_FALSE(MentionsDaemonStart(R"({"event":"train","key":"\"event\":\"daemon_started\""})"));
}

}  // namespace
}  // namespace zelkctl
