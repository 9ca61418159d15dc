#!/usr/bin/env python3
"""The control channel's figures, against the real daemon in console mode
watching 20 simulated applications (a handshake every 2 s each):

- the answer time of a status request when 100 clients ask at once
  (released together by a barrier; from the release to the whole answer),
  over several rounds: median, 99th percentile and maximum;
- the daemon at rest for a while, with its channel served and without it
  (a plain file in the channel's place: the daemon logs that it cannot open
  it and runs on without): CPU time (user plus system) per minute, resident
  memory, and the control thread's wake-ups per second.

Linux only. Prints a Markdown table.

    PYTHONPATH=tests/support control_bench.py --exe ZELK_Daemon --sim trackside-sim \
        [--apps 20] [--clients 100] [--rounds 10] [--rest-seconds 60]
"""

import argparse
import json
import os
import socket
import statistics
import sys
import threading
import time

from zelk_testing.sim import SimSetup

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def switches(pid):
    """{thread id: voluntary context switches} of every thread."""
    counts = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        counts[tid] = int(line.split()[1])
        except OSError:
            pass
    return counts


def ask(path, barrier, times):
    barrier.wait()
    started = time.monotonic()
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        client.settimeout(30)
        client.connect(path)
        client.sendall(b'{"v":1,"op":"status"}\n')
        data = b""
        while not data.endswith(b"\n"):
            chunk = client.recv(4096)
            if not chunk:
                break
            data += chunk
    if json.loads(data).get("ok"):
        times.append(time.monotonic() - started)


def burst(path, clients, rounds):
    times = []
    for _ in range(rounds):
        barrier = threading.Barrier(clients)
        threads = [threading.Thread(target=ask, args=(path, barrier, times))
                   for _ in range(clients)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        time.sleep(0.5)
    return times


def at_rest(pid, seconds):
    """CPU seconds per minute, resident KiB at the end, and the wake-ups per
    second of the thread that woke most often apart from the watchdogs'
    rhythm (the control thread, where it runs)."""
    cpu0, sw0 = cpu_seconds(pid), switches(pid)
    time.sleep(seconds)
    cpu1, sw1 = cpu_seconds(pid), switches(pid)
    wakeups = sorted(((sw1[t] - sw0.get(t, 0)) / seconds for t in sw1), reverse=True)
    return (cpu1 - cpu0) * 60 / seconds, rss_kib(pid), wakeups


def run(args, served):
    with SimSetup(args.exe, args.sim, False) as setup:
        for i in range(args.apps):
            setup.add_app("b%d" % i, ["--handshake-interval", "2", "--train-interval", "0"])
        path = os.path.join(setup.run.folder, "control.sock")
        if not served:
            open(path, "w").close()
        setup.start()
        deadline = time.monotonic() + 60
        while setup.run.text().count("Recv data ok!") < args.apps:
            assert time.monotonic() < deadline, setup.run.text()
            time.sleep(0.5)
        time.sleep(5)
        pid = setup.run.process.pid
        rest = at_rest(pid, args.rest_seconds)
        times = burst(path, args.clients, args.rounds) if served else []
        after = rss_kib(pid)
        setup.stop_daemon(30)
        return rest, times, after


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--apps", type=int, default=20)
    parser.add_argument("--clients", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=10)
    parser.add_argument("--rest-seconds", type=int, default=60)
    args = parser.parse_args()

    (cpu, rss, wakeups), times, after = run(args, True)
    (cpu_off, rss_off, wakeups_off), _, _ = run(args, False)
    times.sort()
    p99 = times[min(len(times) - 1, int(len(times) * 0.99))]
    print("\nStatus requests, %d clients at once, %d rounds, %d applications watched:\n"
          % (args.clients, args.rounds, args.apps))
    print("| answers | median ms | p99 ms | max ms |\n|---:|---:|---:|---:|")
    print("| %d of %d | %.1f | %.1f | %.1f |" % (len(times), args.clients * args.rounds,
                                                 statistics.median(times) * 1000, p99 * 1000,
                                                 times[-1] * 1000))
    print("\nThe daemon at rest for %d s, %d applications:\n" % (args.rest_seconds, args.apps))
    print("| channel | CPU s per minute | resident KiB | threads | wake-ups/s of the busiest "
          "three threads |\n|---|---:|---:|---:|---|")
    for name, c, r, w in (("served", cpu, rss, wakeups), ("not open", cpu_off, rss_off,
                                                          wakeups_off)):
        print("| %s | %.3f | %d | %d | %s |" % (name, c, r, len(w),
                                                ", ".join("%.2f" % x for x in w[:3])))
    print("\nResident KiB after the bursts: %d (%+d)" % (after, after - rss))
    return 0


if __name__ == "__main__":
    sys.exit(main())
