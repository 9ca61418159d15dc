"""The daemon under Wine's service manager: created as the service
"ZELK_Daemon" from the built executable copied into a test folder, started,
paused, continued, interrogated and stopped through ControlService (the
service_control program), then deleted. Checks the states the service reports,
the exact log lines beside the executable, and that the process ends.

With --apps N, config.xml names N applications on closed ports: their
watchdog threads must be running before the controls and must all have ended
before the stop's wait ends.

The service writes nothing visible (its standard output is NULL under Wine);
its log in ZELK_LOG beside the executable is what is checked."""

import argparse
import os
import re
import subprocess
import sys
import time

from zelk_testing.service import (CONTINUE_LOG, INTERROGATE_LOG, LIFECYCLE_FUNCTIONS, PAUSE_LOG,
                             START_LOG, STOP_LOG, check_thread_exits, lifecycle,
                             wait_for_watchdog_line, write_config)
from zelk_testing.harness import DaemonRun

SERVICE = "ZELK_Daemon"

CONTROL_LOG = {2: PAUSE_LOG, 3: CONTINUE_LOG, 4: INTERROGATE_LOG, 128: []}
# The state ControlService hands back for each control: the one the handler
# reported last.
CONTROL_STATE = {2: 7, 3: 4, 4: 4, 128: 4}


def wine(*args, check=True):
    env = dict(os.environ)
    env["WINEDEBUG"] = "-all"
    result = subprocess.run(["wine"] + list(args), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, timeout=120)
    text = result.stdout.decode("latin-1")
    if check and result.returncode != 0:
        raise AssertionError("wine %s: rc %d\n%s" % (" ".join(args), result.returncode, text))
    return result.returncode, text


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True).stdout.decode().strip()


class Controller:
    def __init__(self, exe):
        self.exe = exe

    def run(self, *commands):
        _rc, text = wine(self.exe, SERVICE, *[str(c) for c in commands], check=False)
        return [line.strip() for line in text.splitlines() if line.strip()]

    def wait_state(self, state, timeout_ms):
        line = self.run("wait:%d:%d" % (state, timeout_ms))[-1]
        assert line.startswith("wait %d ok 1" % state), line
        return line

    def control(self, code):
        line = self.run(code)[-1]
        print(line)
        match = re.match(r"control (\d+) ok (\d) error (\d+) state (\d+) hint (\d+)$", line)
        assert match, line
        return int(match.group(2)), int(match.group(3)), int(match.group(4)), line


def log_pairs(run):
    return [(function, message) for (_l, function, _c, message) in run.log_lines()]


def wait_for_log(run, message, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if (" , " + message).encode() in run.log_bytes():
            return
        time.sleep(0.1)
    raise AssertionError("%r not logged; log:\n%s" % (message, run.log_bytes().decode("latin-1")))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--control", required=True, help="the service_control program")
    parser.add_argument("--apps", type=int, default=0)
    args = parser.parse_args()
    if not args.wine:
        print("Wine service manager: not applicable to a native build")
        return 0

    run = DaemonRun(args.exe, wine=True)
    # A name of its own, so that the check that the service process has ended
    # does not count daemons that other tests run in console mode meanwhile.
    own_name = os.path.join(run.folder, "ZELK_Daemon_svc%d.exe" % os.getpid())
    os.rename(run.exe, own_name)
    run.exe = own_name
    controller = Controller(args.control)
    delivered = []
    try:
        # A service left by an earlier, interrupted run would make create fail.
        wine("sc", "stop", SERVICE, check=False)
        wine("sc", "delete", SERVICE, check=False)

        write_config(run.folder, args.apps, windows_path(run.folder) + "\\absent.exe")
        wine("sc", "create", SERVICE, "binPath=", windows_path(run.exe))
        wine("sc", "start", SERVICE)
        # sc start returns once the process has connected; running comes later.
        controller.wait_state(4, 60000)
        wait_for_log(run, "ServiceStart out", 10)
        assert controller.run("query")[-1] == "state 4 exit 0"
        if args.apps:
            wait_for_watchdog_line(run.log_bytes, 30)

        expected = list(START_LOG)
        for code in (2, 4, 3, 4, 128):
            ok, error, state, line = controller.control(code)
            assert ok == 1 and error == 0, line
            assert state == CONTROL_STATE[code] or (code == 4 and state == 7), line
            assert controller.run("query")[-1].startswith("state %d " % state)
            delivered.append(code)
            expected += CONTROL_LOG[code]
        # Interrogating a paused service re-sends "paused".
        ok, _error, state, line = controller.control(2)
        expected += CONTROL_LOG[2]
        ok, _error, state, line = controller.control(4)
        assert state == 7, line
        expected += CONTROL_LOG[4]
        ok, _error, state, line = controller.control(3)
        assert state == 4, line
        expected += CONTROL_LOG[3]

        # Shutdown cannot be sent through ControlService; Wine refuses it.
        ok, error, _state, line = controller.control(5)
        shutdown_delivered = ok == 1
        if shutdown_delivered:
            delivered.append(5)

        ok, error, state, line = controller.control(1)
        # Under Wine the answer to the stop can be lost with 109 (broken pipe):
        # the handler reports stopped, the dispatcher returns and the process
        # ends before the manager has read the answer.
        assert (ok == 1 and error == 0 and state in (3, 1)) or (ok == 0 and error == 109), line
        delivered.append(1)
        controller.wait_state(1, 60000)
        expected += STOP_LOG
        assert controller.run("query")[-1] == "state 1 exit 0"
        # The dispatcher returned, main ran its pause without a console and ended.
        gone = controller.run("gone:%s:30000" % os.path.basename(run.exe))[-1]
        assert gone.startswith("gone 1"), gone

        got = lifecycle(log_pairs(run))
        assert got == expected, "log lines:\n%s\nexpected:\n%s" % (
            "\n".join(map(str, got)), "\n".join(map(str, expected)))
        lines = run.log_lines()
        check_thread_exits(log_pairs(run), args.apps)
        assert all(level == "TRACE" and code == 0 for (level, function, code, _m) in lines
                   if function in LIFECYCLE_FUNCTIONS), lines
        # Any control the controller tried after the stop is refused.
        ok, error, _state, line = controller.control(4)
        assert ok == 0 and error == 1062, line
    finally:
        wine("sc", "stop", SERVICE, check=False)
        controller.run("wait:1:20000") if os.path.exists(args.control) else None
        wine("sc", "delete", SERVICE, check=False)
        run.cleanup()
    rc, _text = wine("sc", "query", SERVICE, check=False)
    assert rc != 0, "service still exists after delete"
    print("Wine delivered controls: %s; shutdown (5) through ControlService: %s"
          % (", ".join(map(str, delivered)), "delivered" if shutdown_delivered else "refused"))
    print("Wine service manager: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
