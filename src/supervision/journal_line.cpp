#include "supervision/journal_line.h"

#include <cstdio>

#include "nlohmann/json.hpp"
#include "supervision/watchdog_state.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int64_t kSecondsPerDay = 86400;
constexpr char kFilePrefix[] = "zelk-events-";
constexpr char kFileSuffix[] = ".jsonl";

struct CivilDate {
    int64_t year;
    unsigned month;  // 1 to 12
    unsigned day;    // 1 to 31
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(CivilDate date) {
    const int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear =
        (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = static_cast<unsigned>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const unsigned month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    return CivilDate{yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Milliseconds of local time since the epoch.
int64_t LocalMs(const JournalTime& time) {
    return time.ms + static_cast<int64_t>(time.offsetMinutes) * 60000;
}

const char* CycleName(Cycle cycle) {
    switch (cycle) {
        case Cycle::kConnecting:
            return "connecting";
        case Cycle::kSilent:
            return "silent";
        case Cycle::kFailing:
            return "failing";
        case Cycle::kWaitFailing:
            return "wait_failing";
        case Cycle::kNoSocket:
            return "socket";
        case Cycle::kNone:
            break;
    }
    return "none";
}

Json Start(const char* event, const JournalTime& time) {
    Json line;
    line["time"] = FormatRfc3339(time);
    line["event"] = event;
    return line;
}

std::string Finish(const Json& line) {
    // Bytes that are not UTF-8 (a train key is the application's) become
    // U+FFFD rather than failing the line.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The fields of an uninstall or install command's line.
template <typename Command>
void CommandFields(const AppIdentity& app, const Command& command, TextToUtf8 utf8, Json& f) {
    f["sub_app"] = utf8(app.subApp);
    f["command"] = utf8(std::string(command.command));
    f["ok"] = command.taken;
    f["code"] = command.shellCode;
}

// The fields of each application event's line, or false when it makes none.
bool AppFields(const WatchdogEvent& e, const AppIdentity& app, TextToUtf8 utf8, const char** name,
               Json* fields) {
    namespace ev = watchdog_event;
    Json& f = *fields;
    return std::visit(Overloaded{
                          [&](const ev::ThreadNotStarted&) {
                              *name = "thread_not_started";
                              return true;
                          },
                          [&](const ev::BuffersMissing&) {
                              *name = "thread_not_started";
                              f["reason"] = "out of memory";
                              return true;
                          },
                          [&](const ev::Connected& connected) {
                              *name = "connected";
                              f["waits"] = connected.waits;
                              return true;
                          },
                          [&](const ev::SilentWait& wait) {
                              *name = "silence";
                              return wait.waits == 1;
                          },
                          [&](const ev::ReadFailed& failed) {
                              *name = "failing";
                              // The code says something only when the read itself failed; a
                              // peer that closed leaves whatever error came before.
                              if (failed.readResult < 0) {
                                  f["code"] = failed.socketError;
                              } else {
                                  f["closed"] = true;
                              }
                              return failed.failures == 1;
                          },
                          [&](const ev::Resumed& resumed) {
                              *name = "resumed";
                              f["after"] = CycleName(resumed.after);
                              f["count"] = resumed.count;
                              return true;
                          },
                          [&](const ev::Terminated& terminated) {
                              *name = "terminated";
                              f["cycle"] = CycleName(terminated.cycle);
                              f["count"] = CycleCount(terminated.cycle, CycleAction::kTerminate);
                              f["processes"] = terminated.processes;
                              f["result"] = terminated.result;
                              return true;
                          },
                          [&](const ev::Launched& launched) {
                              *name = "launched";
                              f["cycle"] = CycleName(launched.cycle);
                              f["count"] = CycleCount(launched.cycle, CycleAction::kLaunch);
                              f["ok"] = launched.started;
                              f["error"] = launched.error;
                              f["session"] = launched.session;
                              f["user"] = launched.userFound;
                              f["command"] = utf8(std::string(launched.command));
                              return true;
                          },
                          [&](const ev::Reconnect& reconnect) {
                              *name = "reconnect";
                              f["cycle"] = CycleName(reconnect.cycle);
                              f["count"] = reconnect.count;
                              return true;
                          },
                          [&](const ev::Train& train) {
                              *name = "train";
                              f["key"] = std::string(train.key);
                              f["vehicles"] = train.vehicles;
                              f["serial"] = std::string(train.serial);
                              return true;
                          },
                          [&](const ev::Mismatch& mismatch) {
                              *name = "mismatch";
                              f["key"] = std::string(mismatch.key);
                              f["pictures"] = mismatch.pictures;
                              f["files"] = mismatch.xmlFiles;
                              return true;
                          },
                          [&](const ev::Uninstall& command) {
                              *name = "uninstall";
                              CommandFields(app, command, utf8, f);
                              return true;
                          },
                          [&](const ev::Install& command) {
                              *name = "install";
                              CommandFields(app, command, utf8, f);
                              return true;
                          },
                          [&](const ev::BufferOverflow& overflow) {
                              *name = "buffer_overflow";
                              f["discarded"] = overflow.discarded;
                              f["kept"] = overflow.kept;
                              return true;
                          },
                          [&](const ev::OutOfMemory&) {
                              *name = "out_of_memory";
                              return true;
                          },
                          // The rest make no line; Terminate and Launch make theirs with
                          // their outcomes, Terminated and Launched.
                          [](const auto&) { return false; },
                      },
                      e.what);
}

}  // namespace

int UtcOffsetMinutes(int64_t seconds, const std::tm& local) {
    const int64_t localSeconds =
        DaysFromCivil(CivilDate{local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                static_cast<unsigned>(local.tm_mday)}) *
            kSecondsPerDay +
        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return static_cast<int>(FloorDiv(localSeconds - seconds, 60));
}

std::string FormatRfc3339(const JournalTime& time) {
    const int64_t local = LocalMs(time);
    const int64_t day = FloorDiv(local, kSecondsPerDay * 1000);
    const int64_t msOfDay = local - day * kSecondsPerDay * 1000;
    const CivilDate date = CivilFromDays(day);
    const int offset = time.offsetMinutes < 0 ? -time.offsetMinutes : time.offsetMinutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%03d%c%02d:%02d",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                  static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000),
                  time.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

int64_t JournalDay(const JournalTime& time) {
    return FloorDiv(LocalMs(time), kSecondsPerDay * 1000);
}

std::string JournalFileName(const JournalTime& time) {
    const CivilDate date = CivilFromDays(JournalDay(time));
    char text[48];
    std::snprintf(text, sizeof text, "%s%04lld-%02u-%02u%s", kFilePrefix,
                  static_cast<long long>(date.year), date.month, date.day, kFileSuffix);
    return text;
}

bool JournalFileDay(const std::string& name, int64_t* day) {
    const std::string prefix = kFilePrefix;
    const std::string suffix = kFileSuffix;
    // "zelk-events-" YYYY "-" MM "-" DD ".jsonl"
    if (name.size() != prefix.size() + 10 + suffix.size() ||
        name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
        return false;
    }
    const std::string date = name.substr(prefix.size(), 10);
    for (std::size_t i = 0; i < date.size(); ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? date[i] != '-' : (date[i] < '0' || date[i] > '9')) {
            return false;
        }
    }
    const CivilDate civil{std::stoll(date.substr(0, 4)),
                          static_cast<unsigned>(std::stoul(date.substr(5, 2))),
                          static_cast<unsigned>(std::stoul(date.substr(8, 2)))};
    if (civil.month < 1 || civil.month > 12 || civil.day < 1 || civil.day > 31) {
        return false;
    }
    // A date that does not exist (02-31) names no day: such a file is
    // neither read nor removed as an old one.
    const int64_t days = DaysFromCivil(civil);
    const CivilDate back = CivilFromDays(days);
    if (back.month != civil.month || back.day != civil.day) {
        return false;
    }
    *day = days;
    return true;
}

std::string JournalLine(const AppIdentity& app, const WatchdogEvent& event, const JournalTime& time,
                        TextToUtf8 utf8) {
    const char* name = nullptr;
    Json fields;  // null until a field is set: most events make no line
    if (!AppFields(event, app, utf8, &name, &fields)) {
        return std::string();
    }
    Json line = Start(name, time);
    line["app"] = utf8(app.name);
    line["index"] = app.index;
    line["endpoint"] = utf8(app.endpoint);
    if (fields.is_object()) {
        for (auto& field : fields.items()) {
            line[field.key()] = field.value();
        }
    }
    return Finish(line);
}

std::string JournalLine(const DaemonEvent& event, const JournalTime& time, TextToUtf8 utf8) {
    namespace de = daemon_event;
    Json line;  // null for an event that makes no line
    std::visit(Overloaded{
                   [&](const de::Started& e) {
                       line = Start("daemon_started", time);
                       line["version"] = std::string(e.version);
                       line["apps"] = e.apps;
                   },
                   [&](const de::Stopped& e) {
                       line = Start("daemon_stopped", time);
                       line["version"] = std::string(e.version);
                       line["apps"] = e.apps;
                   },
                   [&](const de::ConfigLoaded& e) {
                       line = Start("config_loaded", time);
                       line["path"] = utf8(std::string(e.path));
                       line["report"] = utf8(std::string(e.report));
                   },
                   [&](const de::ConfigNotLoaded& e) {
                       line = Start("config_not_loaded", time);
                       line["path"] = utf8(std::string(e.path));
                       line["report"] = utf8(std::string(e.report));
                   },
                   [&](const de::ConfigPitfalls& e) {
                       line = Start("config_pitfalls", time);
                       line["count"] = e.Count();
                       Json findings = Json::array();
                       for (const std::string& finding : e.findings) {
                           findings.push_back(utf8(finding));
                       }
                       line["findings"] = findings;
                   },
                   [](const de::Stopping&) {},
               },
               event);
    return line.is_null() ? std::string() : Finish(line);
}
