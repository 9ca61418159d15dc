// The event journal's lines: one JSON object a line (JSON Lines, UTF-8) for
// each event worth keeping, in daily files. Events are transitions: a silent
// wait makes a line only when it begins a silence, a failed read only when
// it begins a run. Pure: the time and the text conversion are given.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "supervision/event_hub.h"

// An event's time: milliseconds since the epoch, and the local time's offset
// from UTC at that moment, in minutes.
struct JournalTime {
    int64_t ms = 0;
    int offsetMinutes = 0;
};

// Converts a configured text (the ANSI code page) to UTF-8.
using TextToUtf8 = std::string (*)(const std::string& text);

// The offset from UTC, in minutes, of the local time `local` that `seconds`
// since the epoch gave.
int UtcOffsetMinutes(int64_t seconds, const std::tm& local);

// "2026-12-09T03:14:15.123+01:00".
std::string FormatRfc3339(const JournalTime& time);

// The day's file: "zelk-events-2026-12-09.jsonl" for the local date of `time`.
std::string JournalFileName(const JournalTime& time);

// The local date of a journal file's name as days since the epoch, or false
// when the name is not one of the journal's.
bool JournalFileDay(const std::string& name, int64_t* day);

// The local date of `time` as days since the epoch.
int64_t JournalDay(const JournalTime& time);

// The line of one application event, ending in a line feed; empty when the
// event makes no line.
std::string JournalLine(const AppIdentity& app, const WatchdogEvent& event, const JournalTime& time,
                        TextToUtf8 utf8);

// The line of one event of the supervisor itself; empty when it makes none.
std::string JournalLine(const DaemonEvent& event, const JournalTime& time, TextToUtf8 utf8);
