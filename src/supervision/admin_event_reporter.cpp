#include "supervision/admin_event_reporter.h"

namespace {

// `text` as an insert: cut to kAdminInsertMaxBytes, control characters
// replaced as AdminEntry says.
std::string CleanInsert(const std::string& text) {
    std::string out;
    out.reserve(text.size() < kAdminInsertMaxBytes ? text.size() : kAdminInsertMaxBytes);
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (out.size() >= kAdminInsertMaxBytes) {
            // A cut before a UTF-8 continuation byte goes back to the start
            // of its character, so that no character is split.
            if ((byte & 0xC0) == 0x80) {
                while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) {
                    out.pop_back();
                }
                if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) {
                    out.pop_back();
                }
            }
            out += "...";
            break;
        }
        if (c == '\r') {
            continue;
        }
        out += c == '\n' || (byte >= 0x20 && byte != 0x7F) ? c : ' ';
    }
    return out;
}

// What the summary says the events concerned.
std::string Subject(int app, const std::string& appName) {
    return app < 0 ? "the service" : "the application " + appName;
}

}  // namespace

AdminEventReporter::AdminEventReporter(std::function<int64_t()> nowMs) : nowMs_(std::move(nowMs)) {}

void AdminEventReporter::SetSink(AdminEventSink* sink) {
    std::lock_guard<std::mutex> hold(lock_);
    sink_ = sink;
}

AdminOutcome AdminEventReporter::Report(AdminEventId id, int app,
                                        std::vector<std::string> inserts) {
    const AdminEventKind* kind = FindAdminEventKind(static_cast<uint32_t>(id));
    if (kind == nullptr) {
        return AdminOutcome::kUnknownId;
    }
    inserts.resize(static_cast<std::size_t>(kind->insertCount));
    for (std::string& insert : inserts) {
        insert = CleanInsert(insert);
    }

    std::lock_guard<std::mutex> hold(lock_);
    if (sink_ == nullptr) {
        return AdminOutcome::kNoSink;
    }
    Key key{app, kind->id};
    Window& window = windows_[key];
    if (app >= 0 && !inserts.empty()) {
        window.appName = inserts[0];
    }
    int64_t now = nowMs_();
    if (window.written && now - window.lastWrittenMs < kAdminEventIntervalMs) {
        ++window.held;
        return AdminOutcome::kHeldBack;
    }
    WriteSummary(key, window);
    sink_->Write(AdminEntry{kind, app, std::move(inserts)});
    window.written = true;
    window.lastWrittenMs = now;
    return AdminOutcome::kWritten;
}

void AdminEventReporter::ReportHeldBack() {
    std::lock_guard<std::mutex> hold(lock_);
    int64_t now = nowMs_();
    for (auto& [key, window] : windows_) {
        if (now - window.lastWrittenMs >= kAdminEventIntervalMs) {
            WriteSummary(key, window);
        }
    }
}

void AdminEventReporter::FlushHeldBack() {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& [key, window] : windows_) {
        WriteSummary(key, window);
    }
}

void AdminEventReporter::WriteSummary(const Key& key, Window& window) {
    if (window.held == 0 || sink_ == nullptr) {
        return;
    }
    static const AdminEventKind* const summary =
        FindAdminEventKind(static_cast<uint32_t>(AdminEventId::kEventsHeldBack));
    sink_->Write(AdminEntry{summary,
                            key.first,
                            {std::to_string(window.held), std::to_string(key.second),
                             CleanInsert(Subject(key.first, window.appName))}});
    window.held = 0;
}
