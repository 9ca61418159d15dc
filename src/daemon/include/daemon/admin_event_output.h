// Where the process's administrator events go: one reporter for the whole
// process, which drops every event until the service host hands it the
// platform's sink (service mode only: a console run keeps its console).
#pragma once

#include <string>

#include "supervision/admin_event_reporter.h"

// The process's reporter, on the platform's monotonic clock; no sink at
// first. Lives until the process ends.
AdminEventReporter& ProcessAdminEvents();

// The platform's event log (platform::ReportAdministratorEvent): the Windows
// Event Log, or the journal's standard error. A report that fails is
// dropped.
AdminEventSink& PlatformAdminEventSink();

// The one line the journal shows for `entry`: "event <id>: <text>", with
// each line break inside an insert written as "; ".
std::string AdminEventLine(const AdminEntry& entry);
