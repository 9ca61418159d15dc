// The service host: the process-wide supervisor and the service entry.
#pragma once

class CDaemon;

// The supervisor built before main runs; the service path uses only this
// object. It lives until the process ends.
CDaemon* ProcessDaemon();

// The service entry the dispatcher runs on a thread of its own under the
// service name "ZELK_Daemon". The arguments are not looked at.
void ServiceMain(int argc, char** argv);
