#include "zelkctl/event_text.h"

#include <charconv>
#include <cstdint>

namespace zelkctl {

namespace {

using journal::Event;
using journal::EventKind;

bool Has(int64_t number) {
    return number != journal::kNoNumber;
}

// One line of details, written in place: parts are appended, and a
// separator goes only between parts that are there.
class Line {
  public:
    explicit Line(std::string* out) : out_(out), start_(out->size()) {}

    Line& Text(std::string_view text) {
        out_->append(text);
        return *this;
    }
    // A text from the journal, made printable.
    Line& Field(std::string_view text) {
        AppendPrintable(out_, text);
        return *this;
    }
    Line& Number(int64_t number) {
        char digits[24];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
        out_->append(digits, end.ptr);
        return *this;
    }
    // "1 process", "2 processes".
    Line& Counted(int64_t number, std::string_view one, std::string_view many) {
        return Number(number).Text(" ").Text(number == 1 ? one : many);
    }
    // `separator` when something has been written already.
    Line& Then(std::string_view separator) {
        if (out_->size() > start_) {
            out_->append(separator);
        }
        return *this;
    }

  private:
    std::string* out_;
    std::size_t start_;
};

// What a cycle counts: waits, or failed reads in the failing cycle.
std::string_view CountUnit(const std::string& cycle) {
    return cycle == "failing" ? "read" : "wait";
}

// "silent cycle, wait 30"; only what the event gives. No cycle led to an
// operator's restart: "on request".
void CycleText(Line& line, const Event& e) {
    if (e.cycle == "none") {
        line.Text("on request");
        return;
    }
    if (!e.cycle.empty()) {
        line.Field(e.cycle).Text(" cycle");
    }
    if (Has(e.count)) {
        line.Then(", ").Text(CountUnit(e.cycle)).Text(" ").Number(e.count);
    }
}

void DaemonText(Line& line, const Event& e) {
    if (!e.version.empty()) {
        line.Text("version ").Field(e.version);
    }
    if (Has(e.apps)) {
        line.Then(", ").Counted(e.apps, "application", "applications");
    }
    if (Has(e.pid)) {
        line.Then(", ").Text("pid ").Number(e.pid);
    }
}

// config_loaded (with the applications taken, when a line gives them) and
// config_not_loaded (with the engine's report).
void ConfigText(Line& line, const Event& e) {
    line.Field(e.path);
    if (e.kind == EventKind::kConfigLoaded && Has(e.apps)) {
        line.Then(", ").Counted(e.apps, "application", "applications");
    }
    if (e.kind == EventKind::kConfigNotLoaded && !e.report.empty()) {
        line.Then(": ").Field(e.report);
    }
}

void PitfallsText(Line& line, const Event& e) {
    if (Has(e.count)) {
        line.Counted(e.count, "pitfall", "pitfalls");
    }
    for (std::size_t i = 0; i < e.findings.size(); ++i) {
        line.Then(i == 0 ? ": " : "; ").Field(e.findings[i]);
    }
}

void NotStartedText(Line& line, const Event& e) {
    line.Text("the watchdog thread did not start");
    if (!e.reason.empty()) {
        line.Text(" (").Field(e.reason).Text(")");
    }
    line.Text(": not watched");
}

void ConnectedText(Line& line, const Event& e) {
    line.Text("first data");
    if (e.waits == 0) {
        line.Text(" at once");
    } else if (Has(e.waits)) {
        line.Text(" after ").Counted(e.waits, "wait", "waits");
    }
}

void FailingText(Line& line, const Event& e) {
    line.Text("reads fail");
    if (Has(e.code)) {
        line.Text(", socket error ").Number(e.code);
    } else {
        line.Text(": the application closed the connection");
    }
}

void ResumedText(Line& line, const Event& e) {
    line.Text("data again");
    if (Has(e.count)) {
        line.Text(" after ");
        if (e.cycle == "failing") {
            line.Counted(e.count, "failed read", "failed reads");
        } else {
            line.Counted(e.count, "silent wait", "silent waits");
        }
    }
}

void TerminatedText(Line& line, const Event& e) {
    CycleText(line, e);
    if (e.result == -1) {
        line.Then(": ").Text("the name is empty: nothing terminated");
    } else if (e.result == 0) {
        line.Then(": ").Text("no process terminated");
    } else if (Has(e.processes)) {
        line.Then(": ").Counted(e.processes, "process", "processes").Text(" terminated");
    } else if (e.result == 1) {
        line.Then(": ").Text("terminated");
    }
}

void LaunchedText(Line& line, const Event& e) {
    CycleText(line, e);
    if (e.ok == 1) {
        line.Then(": ");
        if (Has(e.session)) {
            line.Text("session ").Number(e.session);
        } else {
            line.Text("launched");
        }
    } else if (e.ok == 0) {
        line.Then(": ").Text("FAILED");
        if (Has(e.error)) {
            line.Text(" (error ").Number(e.error).Text(")");
        }
    }
    if (!e.command.empty()) {
        line.Then(": ").Field(e.command);
    }
}

void ReconnectText(Line& line, const Event& e) {
    if (e.cycle == "socket") {
        line.Text("the socket could not be created");
        if (Has(e.count)) {
            line.Text(" (attempt ").Number(e.count).Text(")");
        }
    } else if (e.cycle == "wait_failing") {
        line.Text("waits keep failing");
        if (Has(e.count)) {
            line.Text(" (").Number(e.count).Text(")");
        }
    } else {
        CycleText(line, e);
    }
}

void CommandText(Line& line, const Event& e) {
    line.Field(e.subApp);
    if (!e.command.empty()) {
        line.Then(": ").Field(e.command);
    }
    if (e.ok < 0 && !Has(e.code)) {
        return;
    }
    line.Text(" (");
    if (e.ok >= 0) {
        line.Text(e.ok == 1 ? "run" : "NOT RUN").Text(Has(e.code) ? ", " : "");
    }
    if (Has(e.code)) {
        line.Text("code ").Number(e.code);
    }
    line.Text(")");
}

void TrainText(Line& line, const Event& e) {
    if (!e.key.empty()) {
        line.Text("train ").Field(e.key);
    }
    if (Has(e.vehicles)) {
        line.Then(", ").Counted(e.vehicles, "vehicle", "vehicles");
    }
    if (!e.serial.empty()) {
        line.Then(", ").Text("serial ").Field(e.serial);
    }
}

void MismatchText(Line& line, const Event& e) {
    if (!e.key.empty()) {
        line.Text("train ").Field(e.key);
    }
    if (Has(e.pictures)) {
        line.Then(": ").Counted(e.pictures, "picture", "pictures");
    }
    if (Has(e.files)) {
        line.Then(Has(e.pictures) ? ", " : ": ").Counted(e.files, "XML file", "XML files");
    }
}

void OverflowText(Line& line, const Event& e) {
    if (Has(e.discarded)) {
        line.Number(e.discarded).Text(" bytes discarded");
    }
    if (Has(e.kept)) {
        line.Then(", ").Number(e.kept).Text(" kept");
    }
}

// "connected since 2026-12-09T23:10:04.120+01:00", as the day began.
void StateText(Line& line, const Event& e) {
    line.Field(e.state);
    if (!e.since.empty()) {
        line.Text(" since ").Field(e.since);
    }
}

// "dump written: /var/lib/zelk/evidence/x.dmp, 1048576 bytes in 812 ms".
void EvidenceText(Line& line, const Event& e) {
    line.Text("dump ").Text(e.outcome == "written" ? "written" : "not made");
    if (e.outcome != "written" && !e.outcome.empty()) {
        line.Text(" (").Field(e.outcome);
        if (Has(e.error) && e.error != 0) {
            line.Text(", error ").Number(e.error);
        }
        line.Text(")");
    }
    if (!e.path.empty()) {
        line.Text(": ").Field(e.path);
    }
    if (Has(e.bytes) && e.outcome == "written") {
        line.Text(", ").Number(e.bytes).Text(" bytes");
    }
    if (Has(e.milliseconds)) {
        line.Text(" in ").Number(e.milliseconds).Text(" ms");
    }
}

void ClockJumpText(Line& line, const Event& e) {
    line.Text("the clock moved from ").Field(e.from).Text(" to ").Field(e.to);
}

// "pause of sim_silent by root until 2026-12-10T09:14:00.000+01:00: installing
// 2.4 (granted)", "refused: ...".
void ControlText(Line& line, const Event& e) {
    line.Field(e.action);
    if (!e.app.empty()) {
        line.Text(" of ").Field(e.app);
    }
    if (!e.by.empty()) {
        line.Text(" by ").Field(e.by);
    }
    if (!e.until.empty()) {
        line.Text(" until ").Field(e.until);
    }
    if (!e.reason.empty()) {
        line.Text(": ").Field(e.reason);
    }
    // A reload's answer is what it changed.
    if (e.ok != 0 && e.action.rfind("reload", 0) == 0 && !e.answer.empty()) {
        line.Text(": ").Field(e.answer);
    }
    if (e.ok == 0) {
        line.Text(" (refused: ").Field(e.answer).Text(")");
    }
}

}  // namespace

std::string EventDetails(const Event& e) {
    std::string text;
    AppendEventDetails(&text, e);
    return text;
}

void AppendEventDetails(std::string* out, const Event& e) {
    Line line(out);
    switch (e.kind) {
        case EventKind::kDaemonStarted:
        case EventKind::kDaemonStopped:
            return DaemonText(line, e);
        case EventKind::kConfigLoaded:
        case EventKind::kConfigNotLoaded:
            return ConfigText(line, e);
        case EventKind::kConfigPitfalls:
            return PitfallsText(line, e);
        case EventKind::kThreadNotStarted:
            return NotStartedText(line, e);
        case EventKind::kConnected:
            return ConnectedText(line, e);
        case EventKind::kSilence:
            line.Text("first wait without data");
            return;
        case EventKind::kFailing:
            return FailingText(line, e);
        case EventKind::kResumed:
            return ResumedText(line, e);
        case EventKind::kTerminated:
            return TerminatedText(line, e);
        case EventKind::kLaunched:
            return LaunchedText(line, e);
        case EventKind::kReconnect:
            return ReconnectText(line, e);
        case EventKind::kTrain:
            return TrainText(line, e);
        case EventKind::kMismatch:
            return MismatchText(line, e);
        case EventKind::kUninstall:
        case EventKind::kInstall:
            return CommandText(line, e);
        case EventKind::kBufferOverflow:
            return OverflowText(line, e);
        case EventKind::kOutOfMemory:
            line.Text("out of memory");
            return;
        case EventKind::kState:
            return StateText(line, e);
        case EventKind::kClockJump:
            return ClockJumpText(line, e);
        case EventKind::kControl:
            return ControlText(line, e);
        case EventKind::kEvidence:
            return EvidenceText(line, e);
        case EventKind::kUnknown:
            return;
    }
}

std::string Printable(std::string_view text) {
    std::string out;
    AppendPrintable(&out, text);
    return out;
}

namespace {

// The code point of the character at text[i] when it is one a terminal must
// not receive as it is, with its length in bytes in `*length`; 0 for any
// other. Such are DEL and the C1 controls (U+0080 to U+009F, which can
// start escape sequences), the characters that turn the direction of what
// follows (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069),
// those that show nothing (U+180E, U+200B to U+200D, U+2060 to U+2064,
// U+206A to U+206F, U+FEFF) and the non-characters U+FFFE and U+FFFF. C0
// controls are left to the caller.
uint32_t Unseen(std::string_view text, std::size_t i, std::size_t* length) {
    const auto at = [&](std::size_t k) {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
    };
    const uint32_t c = at(0);
    if (c == 0x7F) {
        *length = 1;
        return c;
    }
    if ((c == 0xC2 && at(1) >= 0x80 && at(1) <= 0x9F) || (c == 0xD8 && at(1) == 0x9C)) {
        *length = 2;
        return ((c & 0x1F) << 6) | (at(1) & 0x3F);
    }
    if (c != 0xE1 && c != 0xE2 && c != 0xEF) {
        return 0;
    }
    if ((at(1) & 0xC0) != 0x80 || (at(2) & 0xC0) != 0x80) {
        return 0;
    }
    const uint32_t point = ((c & 0x0F) << 12) | ((at(1) & 0x3F) << 6) | (at(2) & 0x3F);
    const bool unseen = point == 0x180E || (point >= 0x200B && point <= 0x200F) ||
                        (point >= 0x202A && point <= 0x202E) ||
                        (point >= 0x2060 && point <= 0x206F && point != 0x2065) ||
                        point == 0xFEFF || point == 0xFFFE || point == 0xFFFF;
    *length = 3;
    return unseen ? point : 0;
}

// Whether the byte may start a character Unseen knows, or a C0 control.
bool MayNeedCare(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == 0xC2 || c == 0xD8 || c == 0xE1 || c == 0xE2 || c == 0xEF;
}

}  // namespace

void AppendPrintable(std::string* out, std::string_view text) {
    // Most texts hold nothing to change: printable ASCII and UTF-8 letters.
    std::size_t plain = 0;
    while (plain < text.size() && !MayNeedCare(static_cast<unsigned char>(text[plain]))) {
        ++plain;
    }
    out->append(text.substr(0, plain));
    for (std::size_t i = plain; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        if (c == '\t' || c == '\n' || c == '\r') {
            *out += ' ';
        } else if (c < 0x20) {
            *out += '?';
        } else if (Unseen(text, i, &length) != 0) {
            *out += '?';
            i += length - 1;
        } else {
            *out += static_cast<char>(c);
        }
    }
}

void AppendJsonForTerminal(std::string* out, std::string_view line) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!MayNeedCare(static_cast<unsigned char>(line[i]))) {
            continue;
        }
        std::size_t length = 0;
        const uint32_t point = Unseen(line, i, &length);
        if (point == 0) {
            continue;
        }
        out->append(line.substr(from, i - from));
        static const char kHex[] = "0123456789abcdef";
        *out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            *out += kHex[(point >> shift) & 0xF];
        }
        i += length - 1;
        from = i + 1;
    }
    out->append(line.substr(from));
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
