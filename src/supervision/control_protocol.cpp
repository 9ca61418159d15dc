#include "supervision/control_protocol.h"

#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "nlohmann/json.hpp"

namespace {

using Json = nlohmann::ordered_json;

// A request is a flat object; anything nested deeper is refused before the
// JSON reader sees it, so that no line can make it recurse far.
constexpr int kMaxDepth = 4;

// The longest pause a request may name at all; config.xml sets the real cap.
constexpr int64_t kMaxRequestSeconds = 366LL * 24 * 3600;

struct OpName {
    ControlOp op;
    const char* name;
};

constexpr OpName kOpNames[] = {
    {ControlOp::kStatus, "status"}, {ControlOp::kPause, "pause"},
    {ControlOp::kResume, "resume"}, {ControlOp::kRestart, "restart"},
    {ControlOp::kReload, "reload"},
};

bool NestedTooDeep(std::string_view line) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : line) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > kMaxDepth) {
                return true;
            }
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

ParsedRequest Fault(RequestFault fault, std::string message) {
    ParsedRequest parsed;
    parsed.fault = fault;
    parsed.message = std::move(message);
    return parsed;
}

// Reads a text field of at most `maxBytes`, neither empty nor holding a
// control character. Empty message when it is good.
std::string ReadText(const Json& value, const char* field, std::size_t maxBytes, std::string* out) {
    if (!value.is_string()) {
        return std::string("\"") + field + "\" must be a text";
    }
    *out = value.get<std::string>();
    if (out->empty() || out->size() > maxBytes) {
        return std::string("\"") + field + "\" must hold 1 to " + std::to_string(maxBytes) +
               " bytes";
    }
    if (HasControlCharacter(*out)) {
        return std::string("\"") + field + "\" may not hold control characters";
    }
    return std::string();
}

std::string ReadSeconds(const Json& value, int64_t* out) {
    if (!value.is_number_integer() || value.get<int64_t>() < 1 ||
        value.get<int64_t>() > kMaxRequestSeconds) {
        return "\"seconds\" must be a whole number from 1 to " + std::to_string(kMaxRequestSeconds);
    }
    *out = value.get<int64_t>();
    return std::string();
}

// The fields each operation takes beside "v" and "op", and which of them it needs.
struct OpFields {
    ControlOp op;
    std::initializer_list<const char*> allowed;
    std::initializer_list<const char*> needed;
};

const OpFields kOpFields[] = {
    {ControlOp::kStatus, {}, {}},
    {ControlOp::kPause, {"app", "reason", "seconds"}, {"app", "reason"}},
    {ControlOp::kResume, {"app"}, {"app"}},
    {ControlOp::kRestart, {"app", "reason"}, {"app", "reason"}},
    {ControlOp::kReload, {"dryRun"}, {}},
};

bool Listed(std::initializer_list<const char*> names, const std::string& name) {
    for (const char* listed : names) {
        if (name == listed) {
            return true;
        }
    }
    return false;
}

// Checks and reads the fields of `object` for `op` into `request`.
std::string ReadFields(const Json& object, ControlRequest* request) {
    const OpFields* fields = nullptr;
    for (const OpFields& row : kOpFields) {
        if (row.op == request->op) {
            fields = &row;
        }
    }
    for (const char* needed : fields->needed) {
        if (!object.contains(needed)) {
            return std::string("\"") + ControlOpName(request->op) + "\" needs \"" + needed + "\"";
        }
    }
    for (const auto& item : object.items()) {
        const std::string& name = item.key();
        if (name == "v" || name == "op") {
            continue;
        }
        if (!Listed(fields->allowed, name)) {
            return "unknown field \"" + name + "\" for \"" + ControlOpName(request->op) + "\"";
        }
        std::string problem;
        if (name == "app") {
            problem = ReadText(item.value(), "app", kControlNameBytes, &request->app);
        } else if (name == "reason") {
            problem = ReadText(item.value(), "reason", kControlReasonBytes, &request->reason);
        } else if (name == "seconds") {
            problem = ReadSeconds(item.value(), &request->seconds);
        } else if (!item.value().is_boolean()) {
            problem = "\"dryRun\" must be true or false";
        } else {
            request->dryRun = item.value().get<bool>();
        }
        if (!problem.empty()) {
            return problem;
        }
    }
    return std::string();
}

}  // namespace

const char* ControlOpName(ControlOp op) {
    for (const OpName& row : kOpNames) {
        if (row.op == op) {
            return row.name;
        }
    }
    return "";
}

const char* RequestFaultCode(RequestFault fault) {
    switch (fault) {
        case RequestFault::kNone:
            return "";
        case RequestFault::kTooLong:
            return "too_long";
        case RequestFault::kMalformed:
            return "malformed";
        case RequestFault::kVersion:
            return "version";
        case RequestFault::kUnknownOp:
            return "unknown_op";
        case RequestFault::kBadField:
            return "bad_field";
    }
    return "";
}

ParsedRequest ParseControlRequest(std::string_view line) {
    if (line.size() > kControlLineBytes) {
        return Fault(RequestFault::kTooLong,
                     "the request is longer than " + std::to_string(kControlLineBytes) + " bytes");
    }
    if (NestedTooDeep(line)) {
        return Fault(RequestFault::kMalformed, "the request is nested too deep");
    }
    const Json object = Json::parse(line.begin(), line.end(), nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        return Fault(RequestFault::kMalformed, "the request is not one JSON object");
    }
    const auto version = object.find("v");
    if (version == object.end() || !version->is_number_integer() ||
        version->get<int64_t>() != kControlProtocolVersion) {
        return Fault(RequestFault::kVersion, "this daemon speaks protocol version 1 (\"v\": 1)");
    }
    const auto op = object.find("op");
    if (op == object.end() || !op->is_string()) {
        return Fault(RequestFault::kUnknownOp, "the request names no \"op\"");
    }
    ParsedRequest parsed;
    bool known = false;
    for (const OpName& row : kOpNames) {
        if (op->get<std::string>() == row.name) {
            parsed.request.op = row.op;
            known = true;
        }
    }
    if (!known) {
        return Fault(RequestFault::kUnknownOp, "unknown operation \"" + op->get<std::string>() +
                                                   "\" (status, pause, resume, restart, reload)");
    }
    std::string problem = ReadFields(object, &parsed.request);
    if (!problem.empty()) {
        return Fault(RequestFault::kBadField, std::move(problem));
    }
    return parsed;
}

std::string FormatControlRequest(const ControlRequest& request) {
    Json object;
    object["v"] = kControlProtocolVersion;
    object["op"] = ControlOpName(request.op);
    if (!request.app.empty()) {
        object["app"] = request.app;
    }
    if (!request.reason.empty()) {
        object["reason"] = request.reason;
    }
    if (request.seconds > 0) {
        object["seconds"] = request.seconds;
    }
    if (request.dryRun) {
        object["dryRun"] = true;
    }
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace {

Json PauseObject(const PauseEntry& pause) {
    return Json{{"app", pause.app},
                {"by", pause.by},
                {"reason", pause.reason},
                {"since", pause.sinceMs},
                {"until", pause.untilMs}};
}

void AddReloadFields(const ControlAnswer& answer, Json* object) {
    if (answer.dryRun) {
        (*object)["dryRun"] = true;
    }
    if (!answer.changes.empty()) {
        Json changes = Json::array();
        for (const ReloadChange& change : answer.changes) {
            Json item{{"app", change.app}, {"change", change.change}};
            if (!change.fields.empty()) {
                item["fields"] = change.fields;
            }
            changes.push_back(std::move(item));
        }
        (*object)["changes"] = std::move(changes);
    }
    if (!answer.settings.empty()) {
        (*object)["settings"] = answer.settings;
    }
    if (!answer.findings.empty()) {
        (*object)["findings"] = answer.findings;
    }
}

}  // namespace

std::string FormatPauseLine(const PauseEntry& pause) {
    return PauseObject(pause).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string FormatControlAnswer(const ControlAnswer& answer) {
    Json object;
    object["v"] = kControlProtocolVersion;
    object["ok"] = answer.ok;
    if (!answer.error.empty()) {
        object["error"] = answer.error;
    }
    object["message"] = answer.message;
    if (!answer.app.empty()) {
        object["app"] = answer.app;
    }
    if (answer.untilMs != 0) {
        object["until"] = answer.untilMs;
    }
    if (!answer.pauses.empty()) {
        Json pauses = Json::array();
        for (const PauseEntry& pause : answer.pauses) {
            pauses.push_back(PauseObject(pause));
        }
        object["pauses"] = std::move(pauses);
    }
    AddReloadFields(answer, &object);
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace {

template <typename T>
bool Take(const Json& object, const char* name, T* out) {
    const auto found = object.find(name);
    if (found == object.end()) {
        return true;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        if (!found->is_string()) {
            return false;
        }
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!found->is_boolean()) {
            return false;
        }
    } else if (!found->is_number_integer()) {
        return false;
    }
    *out = found->get<T>();
    return true;
}

// A list of texts; false when it is not one.
bool TakeTexts(const Json& object, const char* name, std::vector<std::string>* out) {
    const auto found = object.find(name);
    if (found == object.end()) {
        return true;
    }
    if (!found->is_array()) {
        return false;
    }
    for (const Json& item : *found) {
        if (!item.is_string()) {
            return false;
        }
        out->push_back(item.get<std::string>());
    }
    return true;
}

bool ReadReloadFields(const Json& object, ControlAnswer* answer) {
    if (!Take(object, "dryRun", &answer->dryRun) ||
        !TakeTexts(object, "settings", &answer->settings) ||
        !TakeTexts(object, "findings", &answer->findings)) {
        return false;
    }
    const auto changes = object.find("changes");
    if (changes == object.end()) {
        return true;
    }
    if (!changes->is_array()) {
        return false;
    }
    for (const Json& item : *changes) {
        ReloadChange change;
        if (!item.is_object() || !Take(item, "app", &change.app) ||
            !Take(item, "change", &change.change) || !TakeTexts(item, "fields", &change.fields)) {
            return false;
        }
        answer->changes.push_back(std::move(change));
    }
    return true;
}

bool ReadPause(const Json& item, PauseEntry* pause) {
    return item.is_object() && Take(item, "app", &pause->app) && Take(item, "by", &pause->by) &&
           Take(item, "reason", &pause->reason) && Take(item, "since", &pause->sinceMs) &&
           Take(item, "until", &pause->untilMs);
}

}  // namespace

bool ParsePauseLine(std::string_view line, PauseEntry* pause) {
    if (NestedTooDeep(line)) {
        return false;
    }
    const Json item = Json::parse(line.begin(), line.end(), nullptr, false);
    PauseEntry read;
    if (item.is_discarded() || !ReadPause(item, &read) || read.app.empty() || read.untilMs == 0) {
        return false;
    }
    *pause = std::move(read);
    return true;
}

bool ParseControlAnswer(std::string_view line, ControlAnswer* answer) {
    if (NestedTooDeep(line)) {
        return false;
    }
    const Json object = Json::parse(line.begin(), line.end(), nullptr, false);
    if (object.is_discarded() || !object.is_object() || !object.contains("ok") ||
        !object.contains("message")) {
        return false;
    }
    ControlAnswer read;
    if (!Take(object, "ok", &read.ok) || !Take(object, "error", &read.error) ||
        !Take(object, "message", &read.message) || !Take(object, "app", &read.app) ||
        !Take(object, "until", &read.untilMs) || !ReadReloadFields(object, &read)) {
        return false;
    }
    const auto pauses = object.find("pauses");
    if (pauses != object.end()) {
        if (!pauses->is_array()) {
            return false;
        }
        for (const Json& item : *pauses) {
            PauseEntry pause;
            if (!ReadPause(item, &pause)) {
                return false;
            }
            read.pauses.push_back(std::move(pause));
        }
    }
    *answer = std::move(read);
    return true;
}
