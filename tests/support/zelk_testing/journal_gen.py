#!/usr/bin/env python3
"""Writes event journals (zelk-events-YYYY-MM-DD.jsonl) as the daemon would
after realistic days of a station, for zelkctl's tests and benchmarks.

Each day: 20 applications (one with a non-ASCII name); trains on the healthy
ones with now and then a result-file mismatch and its uninstall and install
commands; silences that end in a termination, a launch and a reconnect;
restart storms in which applications cannot be reached and cycle through
termination, launch and reconnect, with bursts of failing waits; a daemon
stopped and started again, and one start without a stop (a crash). Times
are local, in the zone given, so a day of the summer-time change has 25 or
23 hours. --torn cuts the last line of the last file, as a power cut would.

    python3 -m zelk_testing.journal_gen FOLDER [--start 2026-10-24] [--days 3] [--events-per-day N]
                                      [--apps 20] [--zone Europe/Berlin] [--seed 1] [--torn]

The watchdog's own timings (3-second waits) shape every cycle: silent
termination at wait 30, launch at 45, reconnect at 60; unreachable:
termination at wait 10, launch at 20, reconnect at 30; failing reads:
termination at read 11, launch at 20, reconnect after 31.
"""

import argparse
import datetime
import json
import os
import random
import sys
import zoneinfo

WAIT = 3.0  # seconds per watchdog wait
VERSION = "1.0.0"


class Day:
    """The events of one local day, collected before they are written."""

    def __init__(self, zone, date, apps, rng):
        self.zone = zone
        self.apps = apps
        self.rng = rng
        start = datetime.datetime.combine(date, datetime.time(0), tzinfo=zone)
        end = datetime.datetime.combine(date + datetime.timedelta(days=1), datetime.time(0), tzinfo=zone)
        self.start = start.timestamp()
        self.end = end.timestamp()
        self.events = []
        self.off = []  # (from, to): the daemon did not run, so no application events

    def add(self, t, kind, app=None, **fields):
        if not self.start <= t < self.end:
            return
        if app is not None and any(a <= t < b for a, b in self.off):
            return
        record = {"time": None, "event": kind}
        if app is not None:
            name, index = self.apps[app]
            record.update(app=name, index=index, endpoint="127.0.0.1:%d" % (9000 + index))
        record.update(fields)
        self.events.append((t, record))

    # The cycles of one application, each returning when it is over.

    def silent_outage(self, app, t):
        """Connected, falls silent, is terminated, launched and reconnected."""
        self.add(t, "silence", app)
        self.add(t + 29 * WAIT, "terminated", app, cycle="silent", count=30, processes=1, result=1)
        self.add(t + 44 * WAIT, "launched", app, cycle="silent", count=45, ok=True, error=0,
                 session=1, command="C:\\trackside\\%s --station 12" % self.apps[app][0])
        self.add(t + 59 * WAIT, "reconnect", app, cycle="silent", count=60)
        waits = self.rng.randint(1, 6)
        self.add(t + (59 + waits) * WAIT, "connected", app, waits=waits)
        return t + (60 + waits) * WAIT

    def failing_outage(self, app, t):
        """The application closes its end: reads fail until the restart."""
        self.add(t, "failing", app, code=10054)
        self.add(t + 10 * WAIT, "terminated", app, cycle="failing", count=11, processes=2, result=1)
        self.add(t + 19 * WAIT, "launched", app, cycle="failing", count=20, ok=True, error=0,
                 session=1, command="C:\\trackside\\%s --station 12" % self.apps[app][0])
        self.add(t + 31 * WAIT, "reconnect", app, cycle="failing", count=31)
        self.add(t + 33 * WAIT, "connected", app, waits=2)
        return t + 34 * WAIT

    def storm(self, app, t, until, bursts):
        """Cannot be reached: terminated, launched and reconnected every 30
        waits, with `bursts` stretches of waits that keep failing."""
        burst_at = sorted(self.rng.uniform(t, until) for _ in range(bursts))
        while t + 30 * WAIT < until:
            self.add(t + 9 * WAIT, "terminated", app, cycle="connecting", count=10, processes=0,
                     result=0)
            ok = self.rng.random() > 0.1
            self.add(t + 19 * WAIT, "launched", app, cycle="connecting", count=20, ok=ok,
                     error=0 if ok else 2, session=1 if ok else 0,
                     command="C:\\trackside\\%s --station 12" % self.apps[app][0])
            self.add(t + 29 * WAIT, "reconnect", app, cycle="connecting", count=30)
            while burst_at and burst_at[0] < t + 30 * WAIT:
                burst_at.pop(0)
                for n in range(1, 41):
                    self.add(t + 29 * WAIT + n * 0.05, "reconnect", app, cycle="wait_failing", count=n)
            t += 30 * WAIT
        self.add(until, "connected", app, waits=self.rng.randint(1, 9))
        return until + WAIT

    def trains(self, app, t, until, mismatch_rate):
        """Trains every few minutes while connected."""
        serial = self.rng.randint(1000, 9000)
        t += self.rng.uniform(60, 600)
        while t < until:
            local = datetime.datetime.fromtimestamp(t, self.zone)
            key = local.strftime("%Y%m%d%H%M%S")
            serial += 1
            self.add(t, "train", app, key=key, vehicles=self.rng.randint(4, 60), serial=str(serial))
            if self.rng.random() < mismatch_rate:
                self.add(t + 2.0, "mismatch", app, key=key, pictures=self.rng.randint(10, 90),
                         files=self.rng.randint(0, 3))
                self.add(t + 2.1, "uninstall", app, sub_app="recorder",
                         command="C:\\trackside\\uninstall.bat", ok=True, code=33)
                self.add(t + 2.1 + 5 * WAIT, "install", app, sub_app="recorder",
                         command="C:\\trackside\\install.bat", ok=True, code=33)
            t += self.rng.uniform(240, 1200)


def daemon_start(day, t, pid, apps):
    day.add(t, "daemon_started", version=VERSION, apps=len(apps), pid=pid)
    day.add(t + 0.05, "config_loaded", path="C:\\Program Files\\ZELK\\config.xml", apps=len(apps))
    for app in range(len(apps)):
        waits = day.rng.randint(1, 4)
        day.add(t + 0.25 * app + waits * WAIT, "connected", app, waits=waits)


def build_day(day, first_day, events_per_day):
    rng = day.rng
    apps = day.apps
    count = len(apps)
    if first_day:
        daemon_start(day, day.start + 5.0, 4000 + rng.randint(0, 999), apps)
    # A stop and a start in the evening, and on every other day a crash and
    # a start a little after it.
    stop_at = day.start + rng.uniform(18, 20) * 3600
    restart_at = stop_at + rng.uniform(300, 2400)
    day.off.append((stop_at, restart_at))
    crash_at = day.start + rng.uniform(21, 22) * 3600 if rng.random() < 0.5 else None
    if crash_at is not None:
        recover_at = crash_at + rng.uniform(60, 600)
        day.off.append((crash_at, recover_at))
    day.add(stop_at, "daemon_stopped", version=VERSION, apps=count)
    daemon_start(day, restart_at, 5000 + rng.randint(0, 999), apps)
    if crash_at is not None:
        daemon_start(day, recover_at, 6000 + rng.randint(0, 999), apps)
    # A restart storm at night for a few applications; the rest of the
    # events come as bursts within it, until the day holds about the number asked.
    storm_apps = rng.sample(range(count), max(1, count // 4))
    storm_from = day.start + rng.uniform(1, 3) * 3600
    storm_until = storm_from + rng.uniform(1, 3) * 3600
    for app in range(count):
        if app in storm_apps:
            day.trains(app, day.start, storm_from, 0.02)
            day.trains(app, storm_until, day.end, 0.02)
        else:
            day.trains(app, day.start, day.end, 0.02)
    for app in rng.sample(range(count), max(1, count // 5)):
        t = day.start + rng.uniform(6, 16) * 3600
        (day.silent_outage if rng.random() < 0.6 else day.failing_outage)(app, t)
    base = len(day.events)
    cycles = (storm_until - storm_from) / (30 * WAIT) * len(storm_apps)
    bursts = max(0, int((events_per_day - base - 3 * cycles) / 40))
    for i, app in enumerate(storm_apps):
        share = bursts // len(storm_apps) + (1 if i < bursts % len(storm_apps) else 0)
        day.storm(app, storm_from + 0.4 * i, storm_until, share)


def write_day(folder, day):
    day.events.sort(key=lambda item: item[0])
    lines = []
    for t, record in day.events:
        moment = datetime.datetime.fromtimestamp(t, day.zone)
        record["time"] = moment.isoformat(timespec="milliseconds")
        lines.append(json.dumps(record, ensure_ascii=False, separators=(",", ":")) + "\n")
    date = datetime.datetime.fromtimestamp(day.start, day.zone).date()
    path = os.path.join(folder, "zelk-events-%s.jsonl" % date.isoformat())
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.writelines(lines)
    return path, len(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--start", default="2026-10-24")
    parser.add_argument("--days", type=int, default=3)
    parser.add_argument("--events-per-day", type=int, default=3000)
    parser.add_argument("--apps", type=int, default=20)
    parser.add_argument("--zone", default="Europe/Berlin")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--torn", action="store_true", help="cut the last line of the last file")
    args = parser.parse_args()

    zone = zoneinfo.ZoneInfo(args.zone)
    rng = random.Random(args.seed)
    apps = [("Zählpunkt.exe" if i == 7 else "app%02d.exe" % (i + 1), i) for i in range(args.apps)]
    os.makedirs(args.folder, exist_ok=True)
    first = datetime.date.fromisoformat(args.start)
    total = 0
    path = None
    for n in range(args.days):
        day = Day(zone, first + datetime.timedelta(days=n), apps, rng)
        build_day(day, n == 0, args.events_per_day)
        path, lines = write_day(args.folder, day)
        total += lines
    if args.torn and path:
        with open(path, "rb+") as f:
            f.seek(0, os.SEEK_END)
            size = f.tell()
            f.truncate(size - 25)
    print("%d events in %d files in %s" % (total, args.days, args.folder), file=sys.stderr)


if __name__ == "__main__":
    main()
