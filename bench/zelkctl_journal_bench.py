#!/usr/bin/env python3
"""zelkctl's figures on the event journal: the timeline of a day of 20
applications in a restart storm (100,000 events), in the terminal and as an
SVG, and the history over 30 such days (3,000,000 events). Prints a Markdown
table: wall time (median, and the range over the runs) and the CPU time
(user plus system) of the zelkctl process.

    PYTHONPATH=tests/support zelkctl_journal_bench.py --zelkctl PATH --data DIR [--reps 5]

The journal is generated once into DIR (zelk_testing.journal_gen, seeded)
and kept there for the next run.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import time

DAYS = 30
EVENTS_PER_DAY = 100000
START = "2026-11-01"
DAY = "2026-11-15"


def generate(folder):
    stamp = os.path.join(folder, ".generated")
    wanted = "%s %d %d\n" % (START, DAYS, EVENTS_PER_DAY)
    if os.path.exists(stamp) and open(stamp).read() == wanted:
        return
    print("zelkctl bench: generating %d days of %d events in %s" % (DAYS, EVENTS_PER_DAY, folder),
          file=sys.stderr)
    subprocess.run([sys.executable, "-m", "zelk_testing.journal_gen", folder, "--start", START,
                    "--days", str(DAYS), "--events-per-day", str(EVENTS_PER_DAY)], check=True)
    with open(stamp, "w") as f:
        f.write(wanted)


def measure(command, reps):
    """Wall and CPU seconds of each run of `command`, its output discarded."""
    walls, cpus = [], []
    for _ in range(reps):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        walls.append(time.monotonic() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    return walls, cpus


def events_in(folder, days):
    total = 0
    for name in sorted(os.listdir(folder)):
        if name.endswith(".jsonl") and (days is None or name[12:22] in days):
            with open(os.path.join(folder, name), "rb") as f:
                total += sum(1 for _ in f)
    return total


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelkctl", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()
    generate(args.data)
    svg = os.path.join(args.data, "timeline.svg")
    figures = [
        ("timeline, terminal, one day", "< 1 s", [DAY],
         [args.zelkctl, "timeline", "--journal", args.data, "--day", DAY]),
        ("timeline, SVG, one day", "< 1 s", [DAY],
         [args.zelkctl, "timeline", "--journal", args.data, "--day", DAY, "--output", svg]),
        ("history, %d days" % DAYS, "< 3 s", None, [args.zelkctl, "history", "--journal", args.data]),
    ]
    print("| zelkctl | goal | events | wall, median (range) | CPU, median |")
    print("|---|---|---|---|---|")
    for name, goal, days, command in figures:
        walls, cpus = measure(command, args.reps)
        print("| %s | %s | %s | %.2f s (%.2f to %.2f) | %.2f s |" % (
            name, goal, format(events_in(args.data, days), ","), statistics.median(walls),
            min(walls), max(walls), statistics.median(cpus)))
    print()
    print("The timeline reads the day before as well (from the daemon's last start) and the first "
          "line of the day after; the history reads every file.")


if __name__ == "__main__":
    main()
