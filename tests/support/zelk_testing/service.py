"""Pieces shared by the service end-to-end tests: the expected lifecycle log
lines, a config.xml naming applications nobody serves, and the checks on the
watchdog threads' lines."""

import os
import socket
import time

# The functions of the service host and the supervisor's lifecycle; the
# watchdog threads' own lines are left out of the sequence checks.
LIFECYCLE_FUNCTIONS = {
    "ServiceMain", "ServiceStart", "ServiceStop", "ServicePause", "ServiceContinue",
    "Service_Ctrl", "ReportStatusToSCMgr", "CDaemon::CDaemon", "CDaemon::~CDaemon",
    "CDaemon::Start", "CDaemon::Stop",
}

START_LOG = [
    ("CDaemon::CDaemon", "Create Daemon!"),
    ("ServiceStart", "ServiceStart in"),
    ("CDaemon::Start", "Start Server!"),
    ("ServiceStart", "ServiceStart out"),
]
PAUSE_LOG = [
    ("Service_Ctrl", "SERVICE_CONTROL_PAUSE"),
    ("ServicePause", "ServicePause in"),
    ("ServicePause", "ServicePause out"),
]
CONTINUE_LOG = [
    ("Service_Ctrl", "SERVICE_CONTROL_CONTINUE"),
    ("ServiceContinue", "ServiceContinue in"),
    ("ServiceContinue", "ServiceContinue out"),
]
INTERROGATE_LOG = [("Service_Ctrl", "SERVICE_CONTROL_INTERROGATE")]
STOP_LOG = [
    ("Service_Ctrl", "SERVICE_STOP_PENDING"),
    ("ServiceStop", "ServiceStop in"),
    ("CDaemon::Stop", "wait stop Server thread !"),
    ("CDaemon::Stop", "stop Server thread over !"),
    ("CDaemon::Stop", "Stop Server!"),
    ("ServiceStop", "ServiceStop out"),
]

WATCHDOG_FUNCTION = "CDaemon::DaemonThread"


def lifecycle(pairs):
    """The (function, message) pairs of the lifecycle functions only."""
    return [pair for pair in pairs if pair[0] in LIFECYCLE_FUNCTIONS]


def write_config(folder, apps, absent_exe=None):
    """config.xml in `folder` with `apps` applications on closed local ports,
    whose executable `absent_exe` (as the daemon spells paths) does not exist:
    their watchdog threads keep failing to connect and to launch them, and log
    doing so."""
    if apps == 0:
        return
    entries = []
    for index in range(apps):
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()  # nobody listens there any more
        entries.append('<app name="zelk_e2e_absent%d.exe" path="%s"><socket ip="127.0.0.1" '
                       'port="%d"/></app>' % (index, absent_exe or os.path.join(folder, "absent.exe"),
                                              port))
    with open(os.path.join(folder, "config.xml"), "w") as f:
        f.write("<config>%s</config>\n" % "".join(entries))


def wait_for_watchdog_line(log_bytes, timeout):
    """Waits until a watchdog thread has logged something: the threads run."""
    needle = ("]  %s : " % WATCHDOG_FUNCTION).encode()
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if needle in log_bytes():
            return
        time.sleep(0.1)
    raise AssertionError("no watchdog line within %d s; log:\n%s"
                         % (timeout, log_bytes().decode("latin-1")))


def check_thread_exits(pairs, apps):
    """Every watchdog thread logged "Thread exit!" once, before the stop's
    wait ended."""
    messages = [message for (_f, message) in pairs]
    exits = [i for i, (f, m) in enumerate(pairs)
             if f == WATCHDOG_FUNCTION and m == "Thread exit!"]
    assert len(exits) == apps, "%d thread exits, %d applications" % (len(exits), apps)
    over = messages.index("stop Server thread over !")
    assert all(i < over for i in exits), "a thread ended after the stop's wait"
