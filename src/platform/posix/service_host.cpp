#include "platform/service_host.h"

namespace platform {

bool RunServiceDispatcher(const char* /*name*/, ServiceMainFunction /*serviceMain*/) {
    // Service mode under systemd is not wired up yet: every start is a
    // console start.
    return false;
}

}  // namespace platform
