// The supervisor's events in the event journal: which of them are worth a
// line, and the journal's event each one is (the line itself is the
// journal's contract, journal/line.h). Events are transitions: a silent wait
// makes a line only when it begins a silence, a failed read only when it
// begins a run. Pure: the time and the text conversion are given.
#pragma once

#include <string>

#include "journal/event.h"
#include "journal/time_format.h"
#include "supervision/event_hub.h"

// Converts a configured text (the ANSI code page) to UTF-8.
using TextToUtf8 = std::string (*)(const std::string& text);

// The journal's event of one application event at `time`, in `*line`
// (a fresh Event); false when the event makes no line.
bool JournalEventOf(const AppIdentity& app, const WatchdogEvent& event, const journal::Time& time,
                    TextToUtf8 utf8, journal::Event* line);
// The same for an event of the supervisor itself.
bool JournalEventOf(const DaemonEvent& event, const journal::Time& time, TextToUtf8 utf8,
                    journal::Event* line);

// The line of one application event at `time`, ending in a line feed;
// empty when the event makes no line.
std::string JournalLine(const AppIdentity& app, const WatchdogEvent& event,
                        const journal::Time& time, TextToUtf8 utf8);

// The line of one event of the supervisor itself; empty when it makes none.
std::string JournalLine(const DaemonEvent& event, const journal::Time& time, TextToUtf8 utf8);
