// The JSON reader of the journal's lines: its grammar against the JSON
// library the daemon writes with, on torn and damaged lines, and what it
// refuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "json_reader.h"

namespace journal {
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
TEST(JsonReader, AgreesWithTheJsonLibraryOnTornAndDamagedLines) {
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

TEST(JsonReader, RefusesWhatIsNoSingleObject) {
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

}  // namespace
}  // namespace journal
