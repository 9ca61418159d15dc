#include "service/service.h"

#include "daemon/daemon.h"

// Built during static initialisation, before main, and never deleted.
static CDaemon* const g_processDaemon = new CDaemon();

CDaemon* ProcessDaemon() {
    return g_processDaemon;
}

void ServiceMain(int /*argc*/, char** /*argv*/) {
    // Service control and status reporting are not wired up yet.
}
