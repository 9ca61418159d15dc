#include "zelkctl/event_text.h"

namespace zelkctl {

namespace {

bool Has(int64_t number) {
    return number != kNoNumber;
}

std::string Number(int64_t number) {
    return std::to_string(number);
}

// "1 process", "2 processes".
std::string Counted(int64_t number, const char* one, const char* many) {
    return Number(number) + " " + (number == 1 ? one : many);
}

// Joins the non-empty parts with ", ".
std::string Joined(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts) {
        if (!part.empty()) {
            text += (text.empty() ? "" : ", ") + part;
        }
    }
    return text;
}

// What a cycle counts: waits, or failed reads in the failing cycle.
const char* CountUnit(const std::string& cycle) {
    return cycle == "failing" ? "read" : "wait";
}

// "silent cycle, wait 30"; only what the event gives.
std::string CycleText(const Event& e) {
    std::string text = e.cycle.empty() ? std::string() : Printable(e.cycle) + " cycle";
    if (Has(e.count)) {
        text +=
            (text.empty() ? "" : ", ") + std::string(CountUnit(e.cycle)) + " " + Number(e.count);
    }
    return text;
}

std::string TerminatedText(const Event& e) {
    std::string outcome;
    if (e.result == -1) {
        outcome = "the name is empty: nothing terminated";
    } else if (e.result == 0) {
        outcome = "no process terminated";
    } else if (Has(e.processes)) {
        outcome = Counted(e.processes, "process", "processes") + " terminated";
    } else if (e.result == 1) {
        outcome = "terminated";
    }
    const std::string cycle = CycleText(e);
    return cycle.empty() || outcome.empty() ? cycle + outcome : cycle + ": " + outcome;
}

std::string LaunchedText(const Event& e) {
    std::string outcome;
    if (e.ok == 1) {
        outcome = Has(e.session) ? "session " + Number(e.session) : "launched";
    } else if (e.ok == 0) {
        outcome = "FAILED" + (Has(e.error) ? " (error " + Number(e.error) + ")" : std::string());
    }
    std::string text = CycleText(e);
    if (!outcome.empty()) {
        text += (text.empty() ? "" : ": ") + outcome;
    }
    if (!e.command.empty()) {
        text += (text.empty() ? "" : ": ") + Printable(e.command);
    }
    return text;
}

std::string ReconnectText(const Event& e) {
    if (e.cycle == "socket") {
        return "the socket could not be created" +
               (Has(e.count) ? " (attempt " + Number(e.count) + ")" : std::string());
    }
    if (e.cycle == "wait_failing") {
        return "waits keep failing" + (Has(e.count) ? " (" + Number(e.count) + ")" : std::string());
    }
    return CycleText(e);
}

std::string CommandText(const Event& e) {
    std::string text = Printable(e.subApp);
    if (!e.command.empty()) {
        text += (text.empty() ? "" : ": ") + Printable(e.command);
    }
    std::string outcome;
    if (e.ok == 1) {
        outcome = "run";
    } else if (e.ok == 0) {
        outcome = "NOT RUN";
    }
    if (Has(e.code)) {
        outcome += (outcome.empty() ? "" : ", ") + std::string("code ") + Number(e.code);
    }
    return outcome.empty() ? text : text + " (" + outcome + ")";
}

}  // namespace

std::string EventDetails(const Event& e) {
    switch (e.kind) {
        case EventKind::kDaemonStarted:
        case EventKind::kDaemonStopped:
            return Joined({e.version.empty() ? "" : "version " + Printable(e.version),
                           Has(e.apps) ? Counted(e.apps, "application", "applications") : "",
                           Has(e.pid) ? "pid " + Number(e.pid) : ""});
        case EventKind::kConfigLoaded:
            return Joined({Printable(e.path),
                           Has(e.apps) ? Counted(e.apps, "application", "applications") : ""});
        case EventKind::kConfigNotLoaded:
            return e.report.empty() ? Printable(e.path)
                                    : Printable(e.path) + ": " + Printable(e.report);
        case EventKind::kConfigPitfalls: {
            std::string text = Has(e.count) ? Counted(e.count, "pitfall", "pitfalls") : "";
            std::string list;
            for (const std::string& finding : e.findings) {
                list += (list.empty() ? "" : "; ") + Printable(finding);
            }
            return text.empty() || list.empty() ? text + list : text + ": " + list;
        }
        case EventKind::kThreadNotStarted:
            return "the watchdog thread did not start: not watched";
        case EventKind::kConnected:
            return Has(e.waits) ? "first data after " + Counted(e.waits, "wait", "waits")
                                : "first data";
        case EventKind::kSilence:
            return "first wait without data";
        case EventKind::kFailing:
            return "reads fail" + (Has(e.code) ? ", socket error " + Number(e.code) : "");
        case EventKind::kResumed:
            if (e.cycle == "failing") {
                return "data again" +
                       (Has(e.count) ? " after " + Counted(e.count, "failed read", "failed reads")
                                     : std::string());
            }
            return "data again" + (Has(e.count)
                                       ? " after " + Counted(e.count, "silent wait", "silent waits")
                                       : std::string());
        case EventKind::kTerminated:
            return TerminatedText(e);
        case EventKind::kLaunched:
            return LaunchedText(e);
        case EventKind::kReconnect:
            return ReconnectText(e);
        case EventKind::kTrain:
            return Joined({e.key.empty() ? "" : "train " + Printable(e.key),
                           Has(e.vehicles) ? Counted(e.vehicles, "vehicle", "vehicles") : "",
                           e.serial.empty() ? "" : "serial " + Printable(e.serial)});
        case EventKind::kMismatch: {
            const std::string counts =
                Joined({Has(e.pictures) ? Counted(e.pictures, "picture", "pictures") : "",
                        Has(e.files) ? Counted(e.files, "XML file", "XML files") : ""});
            const std::string key = e.key.empty() ? "" : "train " + Printable(e.key);
            return key.empty() || counts.empty() ? key + counts : key + ": " + counts;
        }
        case EventKind::kUninstall:
        case EventKind::kInstall:
            return CommandText(e);
        case EventKind::kBufferOverflow:
            return Joined({Has(e.discarded) ? Number(e.discarded) + " bytes discarded" : "",
                           Has(e.kept) ? Number(e.kept) + " kept" : ""});
        case EventKind::kOutOfMemory:
            return "out of memory";
        case EventKind::kUnknown:
            break;
    }
    return std::string();
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0u;
        if (c == '\t' || c == '\n' || c == '\r') {
            out += ' ';
        } else if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += '?';  // C1 control, U+0080 to U+009F
            ++i;
        } else if (c == 0xEF && next == 0xBF && (third == 0xBE || third == 0xBF)) {
            out += '?';  // U+FFFE, U+FFFF
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++width;
        }
    }
    return width;
}

}  // namespace zelkctl
