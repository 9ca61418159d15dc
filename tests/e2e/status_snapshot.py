"""The status snapshot of a daemon whose config.xml enables it, read with
Prometheus' own parser: the daemon makes the missing status folder and
zelk.prom appears in it, with the daemon's version and configuration; the
healthy application is connected and its message counters rise; an
application that accepts and stays silent is terminated, down, and launched
again, and its counters show it; the daemon's stop writes a last snapshot
with the stop time and leaves no temporary file. promtool lints the file
where Prometheus is installed."""

import os
import shutil
import subprocess
import sys
import time

from prometheus_client.parser import text_string_to_metric_families

from zelk_testing.sim import SimSetup, parse_args


def read_snapshot(path):
    """{(metric sample name, app, kind or state or version): value} of the
    file, parsed by Prometheus' parser."""
    with open(path, "rb") as f:
        data = f.read()
    assert b"\r" not in data, "line ends must be plain line feeds"
    values = {}
    for family in text_string_to_metric_families(data.decode("utf-8")):
        for sample in family.samples:
            labels = sample.labels
            extra = labels.get("kind", labels.get("state", labels.get("version")))
            values[(sample.name, labels.get("app"), extra)] = sample.value
    return values


def lint(path):
    promtool = shutil.which("promtool")
    if promtool is None:
        return
    with open(path, "rb") as f:
        result = subprocess.run([promtool, "check", "metrics"], stdin=f, capture_output=True,
                                timeout=30)
    assert result.returncode == 0 and not result.stdout and not result.stderr, result


def wait_for(path, predicate, timeout, what):
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        if os.path.exists(path):
            try:
                last = read_snapshot(path)
            except (OSError, ValueError):
                last = None
            if last is not None and predicate(last):
                return last
        time.sleep(0.5)
    raise AssertionError("%s: not seen within %d s; last snapshot: %r" % (what, timeout, last))


def main():
    args = parse_args()
    with SimSetup(args.exe, args.sim, args.wine) as setup:
        # Not made here: the daemon makes it.
        setup.status_folder = os.path.join(setup.run.folder, "status")
        healthy = setup.add_app("st_ok", ["--handshake-interval", "1", "--train-interval", "3"])
        mute = setup.add_app("st_mute", ["--handshake-interval", "1", "--train-interval", "0",
                                         "--never-send"])
        setup.start()
        path = os.path.join(setup.status_folder, "zelk.prom")
        ok, quiet = healthy.exe_name, mute.exe_name

        first = wait_for(path, lambda v: v.get(("zelk_app_connected", ok, None)) == 1 and
                         v.get(("zelk_app_messages_total", ok, "handshake"), 0) >= 1,
                         60, "the healthy application connected")
        assert first[("zelk_apps_configured", None, None)] == 2, first
        assert first[("zelk_config_loaded", None, None)] == 1, first
        assert first[("zelk_daemon_stop_time_seconds", None, None)] == 0, first
        assert any(key[0] == "zelk_build_info" and value == 1 for key, value in first.items()), first
        assert first[("zelk_app_state", ok, "connected")] == 1, first
        lint(path)
        wait_for(path, lambda v: v[("zelk_app_messages_total", ok, "handshake")] >
                 first[("zelk_app_messages_total", ok, "handshake")] and
                 v[("zelk_app_messages_total", ok, "train")] >= 1 and
                 v[("zelk_app_bytes_received_total", ok, None)] > 0 and
                 v[("zelk_app_last_train_time_seconds", ok, None)] > 0,
                 30, "the message counters rising")

        # Silent while connecting: waits counted, terminated after 10 of them;
        # its closed connection then fails every read, and the 20th failure
        # launches it again.
        wait_for(path, lambda v: v[("zelk_app_connected", quiet, None)] == 0 and
                 v[("zelk_app_silent_waits", quiet, None)] >= 2, 30, "the silent waits counted")
        down = wait_for(path, lambda v: v[("zelk_app_terminations_total", quiet, None)] >= 1,
                        60, "the silent application terminated")
        assert down[("zelk_app_state", quiet, "down")] == 1, down
        assert down[("zelk_app_terminations_last_hour", quiet, None)] >= 1, down
        assert down[("zelk_app_termination_attempts_total", quiet, None)] >= 1, down
        wait_for(path, lambda v: v[("zelk_app_recv_failures", quiet, None)] >= 2,
                 30, "the failed reads counted")
        wait_for(path, lambda v: v[("zelk_app_launches_total", quiet, None)] >= 1,
                 60, "the silent application launched again")

        setup.stop_daemon(20)
        last = read_snapshot(path)
        # The last snapshot keeps each application's state at the stop.
        assert last[("zelk_app_state", ok, "connected")] == 1, last
        # The silent cycle's termination and the failing one's that followed
        # on the killed process's connection are one restart.
        assert last[("zelk_app_restarts_total", quiet, None)] == 1, last
        assert last[("zelk_app_termination_attempts_total", quiet, None)] >= 1, last
        assert any(key[0] == "zelk_daemon_process" and value == 1 for key, value in last.items()), last
        assert last[("zelk_daemon_stop_time_seconds", None, None)] > 0, last
        assert os.listdir(setup.status_folder) == ["zelk.prom"], os.listdir(setup.status_folder)
        lint(path)
        print("status snapshot: written, parsed, counting, stopped")


if __name__ == "__main__":
    sys.exit(main())
