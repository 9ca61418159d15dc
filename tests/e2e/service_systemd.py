"""The daemon as a systemd notify service: NOTIFY_SOCKET points at a datagram
socket this test owns (abstract namespace, or a path with --path-socket).
Signals stand for the service manager's controls. Checks the datagrams, the
exact log lines and their order, the administrator events with their
priorities on standard error, and exit code 0.

With --apps N, config.xml names N applications on closed ports; the stopped
state must then arrive only after every watchdog thread has logged
"Thread exit!"."""

import argparse
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

from zelk_testing.service import (CONTINUE_LOG, INTERROGATE_LOG, LIFECYCLE_FUNCTIONS, PAUSE_LOG,
                             START_LOG, STOP_LOG, check_thread_exits, lifecycle,
                             wait_for_watchdog_line, write_config)
from zelk_testing.harness import DaemonRun


class ServiceRun:
    """One daemon process started as a notify service."""

    def __init__(self, exe, path_socket, apps):
        self.run = DaemonRun(exe)
        if path_socket:
            self.address = os.path.join(tempfile.mkdtemp(prefix="zelk_notify_"), "notify")
            bind_to = self.address
        else:
            self.address = "@zelk_e2e_%d_%d" % (os.getpid(), int(time.monotonic() * 1000))
            bind_to = "\0" + self.address[1:]
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(bind_to)
        write_config(self.run.folder, apps)

    def start(self):
        env = dict(os.environ)
        env["NOTIFY_SOCKET"] = self.address
        self.run.process = subprocess.Popen([self.run.exe], cwd=self.run.folder,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                            stderr=subprocess.STDOUT, env=env)

    def datagram(self, timeout=30):
        self.sock.settimeout(timeout)
        try:
            return self.sock.recv(4096).decode("ascii")
        except socket.timeout:
            raise AssertionError("no datagram within %d s; log:\n%s"
                                 % (timeout, self.run.log_bytes().decode("latin-1")))

    def expect(self, *datagrams):
        for wanted in datagrams:
            got = self.datagram()
            assert got == wanted, "datagram %r, expected %r" % (got, wanted)

    def signal(self, number):
        self.run.process.send_signal(number)

    def log(self):
        return [(function, message) for (_l, function, _c, message) in self.run.log_lines()]

    def wait_log(self, count, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.run.log_bytes().count(b"\n") >= count:
                return
            time.sleep(0.02)
        raise AssertionError("log has fewer than %d lines:\n%s"
                             % (count, self.run.log_bytes().decode("latin-1")))

    def finish(self):
        rc = self.run.process.wait(timeout=30)
        output = self.run.process.stdout.read()
        return rc, output

    def cleanup(self):
        self.sock.close()
        if not self.address.startswith("@"):
            os.unlink(self.address)
            os.rmdir(os.path.dirname(self.address))
        self.run.cleanup()


def full_sequence(exe, path_socket, apps):
    """Start, pause, continue, interrogate, stop with SIGTERM."""
    service = ServiceRun(exe, path_socket, apps)
    try:
        service.start()
        service.expect("STATUS=SERVICE_START_PENDING\n")
        got = service.datagram()
        assert got == "READY=1\nSTATUS=SERVICE_RUNNING\n", got
        # READY=1 is sent once the supervisor has started; "ServiceStart out"
        # is the next line.
        service.wait_log(len(START_LOG))
        log = service.run.log_bytes().decode("latin-1")
        positions = [log.find(" , " + message) for (_f, message) in START_LOG]
        assert -1 not in positions and positions == sorted(positions), log
        if apps:
            wait_for_watchdog_line(service.run.log_bytes, 30)

        service.signal(signal.SIGUSR1)
        service.expect("STATUS=SERVICE_PAUSE_PENDING\n", "STATUS=SERVICE_PAUSED\n")
        service.signal(signal.SIGUSR2)
        service.expect("STATUS=SERVICE_CONTINUE_PENDING\n", "STATUS=SERVICE_RUNNING\n")
        service.signal(signal.SIGHUP)
        service.expect("STATUS=SERVICE_RUNNING\n")
        assert service.run.process.poll() is None, "ended before the stop request"

        service.signal(signal.SIGTERM)
        service.expect("STOPPING=1\nSTATUS=SERVICE_STOP_PENDING\n")
        service.expect("STATUS=SERVICE_STOPPED\n")
        # Every watchdog thread had ended when the stopped state went out.
        exits = service.run.log_bytes().count(b" , Thread exit!")
        assert exits == apps, "%d thread exits before stopped, %d apps" % (exits, apps)

        rc, output = service.finish()
        assert rc == 0, "exit code %d" % rc
        # main writes no banner and its last pause no prompt (the watchdog
        # threads may print their events).
        assert b"=====" not in output and b"Press any key" not in output, output
        # The administrator events reach the journal with their priorities.
        for event in (b"<6>event 1001: ZELK_Daemon ", b"<6>event 1002: ", b"<6>event 1003: "):
            assert event in output, output
        lines = service.run.log_lines()
        check_thread_exits([(f, m) for (_l, f, _c, m) in lines], apps)
        lifecycle_lines = [line for line in lines if line[1] in LIFECYCLE_FUNCTIONS]
        assert all(code == 0 for (_l, _f, code, _m) in lifecycle_lines), lifecycle_lines
        assert all(level == "TRACE" for (level, function, _c, _m) in lines
                   if function.startswith("Service")), lines
        got = lifecycle([(f, m) for (_l, f, _c, m) in lines])
        expected = START_LOG + PAUSE_LOG + CONTINUE_LOG + INTERROGATE_LOG + STOP_LOG
        assert got == expected, "log lines:\n%s" % "\n".join(map(str, got))
    finally:
        service.cleanup()


def stop_while_starting(exe, path_socket, apps):
    """SIGINT sent as soon as the start is pending: held until the running
    state is reported, then served as a stop."""
    service = ServiceRun(exe, path_socket, apps)
    try:
        service.start()
        service.expect("STATUS=SERVICE_START_PENDING\n")
        service.signal(signal.SIGINT)
        service.expect("READY=1\nSTATUS=SERVICE_RUNNING\n",
                       "STOPPING=1\nSTATUS=SERVICE_STOP_PENDING\n", "STATUS=SERVICE_STOPPED\n")
        rc, _output = service.finish()
        assert rc == 0, "exit code %d" % rc
        got = lifecycle(service.log())
        assert got == START_LOG + STOP_LOG, "log lines:\n%s" % "\n".join(map(str, got))
    finally:
        service.cleanup()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--path-socket", action="store_true")
    parser.add_argument("--apps", type=int, default=0)
    args = parser.parse_args()
    if args.wine:
        print("systemd service: not applicable under Wine")
        return 0
    full_sequence(args.exe, args.path_socket, args.apps)
    stop_while_starting(args.exe, args.path_socket, args.apps)
    print("systemd service: 2 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
