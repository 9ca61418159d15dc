#!/usr/bin/env python3
"""The reload's figures: the console daemon watching 20 applications (loopback
listeners here, each sending a handshake a second), config.xml edited so that
one application's port moves, and `zelkctl reload`, several times over. Counts
the connections each listener accepted (the 19 untouched ones must stay at
one) and times each reload as zelkctl sees it; also the daemon's resident
memory and CPU time before and after. Prints a Markdown table.

    PYTHONPATH=tests/support control_reload_bench.py --exe ZELK_Daemon --zelkctl zelkctl [--reps 10]
"""

import argparse
import os
import selectors
import socket
import statistics
import subprocess
import sys
import threading
import time

from zelk_testing.harness import DaemonRun

APPS = 20
MOVED = 7


class Listeners:
    """Loopback listeners that count their accepted connections and send a
    handshake on every connection once a second."""

    def __init__(self, count):
        self.sockets = []
        self.accepted = {}
        self.connections = []
        for _ in range(count):
            listener = socket.socket()
            listener.bind(("127.0.0.1", 0))
            listener.listen(8)
            listener.setblocking(False)
            self.sockets.append(listener)
            self.accepted[listener.getsockname()[1]] = 0
        self.stop = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def port(self, i):
        return self.sockets[i].getsockname()[1]

    def _run(self):
        selector = selectors.DefaultSelector()
        for listener in self.sockets:
            selector.register(listener, selectors.EVENT_READ)
        last = 0.0
        while not self.stop:
            for key, _ in selector.select(0.1):
                connection, _ = key.fileobj.accept()
                self.accepted[key.fileobj.getsockname()[1]] += 1
                self.connections.append(connection)
            if time.monotonic() - last >= 1:
                last = time.monotonic()
                for connection in list(self.connections):
                    try:
                        connection.send(b"<handshake></handshake>")
                    except OSError:
                        self.connections.remove(connection)


def write_config(folder, ports):
    lines = ['<?xml version="1.0"?>', "<config>"]
    for i, port in enumerate(ports):
        lines.append('  <app name="zelk-bench-reload-%d" path=""><socket ip="127.0.0.1" '
                     'port="%d"/></app>' % (i, port))
    lines.append("</config>")
    with open(os.path.join(folder, "config.xml"), "w") as f:
        f.write("\n".join(lines) + "\n")


def process_figures(pid):
    with open("/proc/%d/status" % pid) as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    return rss, ticks / os.sysconf("SC_CLK_TCK")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--zelkctl", required=True)
    parser.add_argument("--reps", type=int, default=10)
    args = parser.parse_args()

    listeners = Listeners(APPS + 1)  # the last one is where the moved application goes
    ports = [listeners.port(i) for i in range(APPS)]
    run = DaemonRun(args.exe)
    write_config(run.folder, ports)
    run.start()
    try:
        run.wait_for("=======================start=====================", 30)
        deadline = time.monotonic() + 30
        while sum(1 for p in ports if listeners.accepted[p] > 0) < APPS:
            assert time.monotonic() < deadline, listeners.accepted
            time.sleep(0.1)
        time.sleep(5)
        rss0, cpu0 = process_figures(run.process.pid)
        times = []
        for rep in range(args.reps):
            moved = list(ports)
            moved[MOVED] = listeners.port(APPS) if rep % 2 == 0 else ports[MOVED]
            write_config(run.folder, moved)
            started = time.monotonic()
            result = subprocess.run([args.zelkctl, "reload", "--config",
                                     os.path.join(run.folder, "config.xml")],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=90)
            times.append(time.monotonic() - started)
            assert result.returncode == 0, result
            time.sleep(1)
        time.sleep(5)
        rss1, cpu1 = process_figures(run.process.pid)
        untouched = [listeners.accepted[p] for i, p in enumerate(ports) if i != MOVED]
        moved_connects = listeners.accepted[ports[MOVED]] + listeners.accepted[listeners.port(APPS)]
    finally:
        run.kill()
        listeners.stop = True
        run.cleanup()

    print("| figure | value |\n|---|---:|")
    print("| reloads, each moving one application's port | %d |" % args.reps)
    print("| connections of the 19 untouched applications, each (min-max) | %d-%d |"
          % (min(untouched), max(untouched)))
    print("| connections of the moved application | %d |" % moved_connects)
    print("| reload as zelkctl sees it, median (min-max) ms | %.0f (%.0f-%.0f) |"
          % (statistics.median(times) * 1000, min(times) * 1000, max(times) * 1000))
    print("| daemon's resident memory before / after, KiB | %d / %d |" % (rss0, rss1))
    print("| daemon's CPU time over the reloads, s | %.2f |" % (cpu1 - cpu0))
    return 0 if max(untouched) == 1 else 1


if __name__ == "__main__":
    sys.exit(main())
