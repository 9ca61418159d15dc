"""The daemon started from a console in an empty folder: both banners, two
key waits, exit code 0, and the exact lifecycle in its log. Asked for help
in a configured folder, it answers and starts nothing. Ctrl-C and the other
requests to stop a console program stop it as the key does: the stop
banner, the stop's log lines, the journal's last line and the snapshot's
stop time, exit code 0."""

import argparse
import os
import signal
import sys
import time

from zelk_testing.harness import DaemonRun

START = "=======================start====================="
STOP = "========================stop====================="
PROMPT = "Press any key to continue"

EXPECTED_LOG = [
    ("CDaemon::CDaemon", "Create Daemon!"),
    ("CDaemon::CDaemon", "Create Daemon!"),
    ("CDaemon::Start", "Start Server!"),
] + [
    ("CDaemon::Stop", "wait stop Server thread !"),
    ("CDaemon::Stop", "stop Server thread over !"),
    ("CDaemon::Stop", "Stop Server!"),
] * 2 + [
    ("CDaemon::~CDaemon", "Destroy Daemon!"),
]


def help_starts_nothing(exe, wine):
    run = DaemonRun(exe, wine=wine)
    try:
        with open(os.path.join(run.folder, "config.xml"), "w") as config:
            config.write('<config><app name="x" path="x"><socket ip="127.0.0.1" port="1"/>'
                         "</app></config>")
        for argument, needle in (("--help", "zelkctl"), ("/?", "config.xml"),
                                 ("--version", "ZELK_Daemon ")):
            run.start([argument])
            run.wait_for(needle, 30)
            assert run.wait_exit(30) == 0, argument
            run.output = b""
        messages = [message for (_l, _f, _c, message) in run.log_lines()] if run.log_bytes() else []
        assert "Start Server!" not in messages, messages
    finally:
        run.cleanup()


def stop_requests(exe, wine, startup_timeout):
    """Each request to stop, sent while the daemon waits for its key."""
    # Under Wine, SIGINT reaches the program as Ctrl-C; the other Windows
    # requests (Ctrl-Break, a closed window) go the same way in the program.
    signals = [signal.SIGINT] if wine else [signal.SIGINT, signal.SIGTERM, signal.SIGHUP]
    for sent in signals:
        run = DaemonRun(exe, wine=wine)
        try:
            with open(os.path.join(run.folder, "config.xml"), "w") as config:
                config.write('<config><status folder="status"/><journal folder="journal"/>'
                             '<app name="none" path="none"><socket ip="127.0.0.1" port="9"/>'
                             "</app></config>")
            run.start()
            run.wait_for(PROMPT, startup_timeout, run.wait_for(START, startup_timeout))
            run.process.send_signal(sent)
            run.wait_for(STOP, 15)
            rc = run.wait_exit(30)
            assert rc == 0, "%s: exit code %d" % (sent.name, rc)
            messages = [message for (_l, _f, _c, message) in run.log_lines()]
            assert "Stop Server!" in messages, (sent.name, messages)
            journal = os.path.join(run.folder, "journal")
            lines = b"".join(open(os.path.join(journal, name), "rb").read()
                             for name in sorted(os.listdir(journal)))
            assert lines.rstrip().split(b"\n")[-1].find(b'"event":"daemon_stopped"') > 0, lines
            with open(os.path.join(run.folder, "status", "zelk.prom")) as snapshot:
                stop = [line for line in snapshot if line.startswith("zelk_daemon_stop_time_seconds")]
            assert stop and stop[0].split()[1] != "0", (sent.name, stop)
        finally:
            run.cleanup()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()

    # Under Wine the service dispatcher takes about 10 s to refuse a process
    # that the service manager did not start.
    startup_timeout = 60 if args.wine else 15
    help_starts_nothing(args.exe, args.wine)
    stop_requests(args.exe, args.wine, startup_timeout)
    run = DaemonRun(args.exe, wine=args.wine)
    try:
        run.start()
        after_start = run.wait_for(START, startup_timeout)
        after_prompt = run.wait_for(PROMPT, 15, after_start)
        time.sleep(0.5)
        assert run.process.poll() is None, "did not wait for the key"
        assert STOP not in run.text(), "stopped before the key"

        run.press_key()
        after_stop = run.wait_for(STOP, 15, after_prompt)
        run.wait_for(PROMPT, 15, after_stop)
        time.sleep(0.3)
        assert run.process.poll() is None, "did not wait for the second key"

        run.press_key()
        rc = run.wait_exit(30)
        assert rc == 0, "exit code %d" % rc

        # The administrator events are service mode's only.
        assert "<6>event" not in run.text() and "<4>event" not in run.text(), run.text()
        lines = run.log_lines()
        got = [(function, message) for (_level, function, _code, message) in lines]
        assert got == EXPECTED_LOG, "log lines:\n%s" % "\n".join(map(str, got))
        assert all(level == "TRACE" and code == 0 for (level, _f, code, _m) in lines)
        print("console run: 1 passed, 0 failed")
    finally:
        run.cleanup()


if __name__ == "__main__":
    sys.exit(main())
