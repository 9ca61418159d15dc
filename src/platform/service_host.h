// Hands the main thread to the platform's service dispatcher.
#pragma once

namespace platform {

// The service entry, run by the dispatcher on a thread of its own.
using ServiceMainFunction = void (*)(int argc, char** argv);

// Offers the service table {name, serviceMain} to the dispatcher. Returns
// true after the service ran and stopped; false when this process was not
// started as a service (the caller then runs in console mode).
bool RunServiceDispatcher(const char* name, ServiceMainFunction serviceMain);

}  // namespace platform
