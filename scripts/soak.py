#!/usr/bin/env python3
"""Soak run of the daemon against hostile peers on loopback.

Twenty applications are configured, each pointing at a peer served here that
misbehaves in its own way: garbage, zero bytes, 25 MiB without a closing tag,
connect-and-reset, half-open and silent connections, one byte a second, and
trains whose time texts are path-like or carry control, bidirectional and
zero-width characters. The daemon runs as a systemd notify service (this
script holds its notify socket and asks for its watchdog pings) with every
writer on: the log, the event journal, the status snapshot and the
administrator events on standard error. Over the run it checks that the
daemon stays up and keeps pinging, that its resident memory stays flat after
the warm-up, that the snapshot reads as a whole, well-formed exposition every
time it is read (many times a second), that every line of every log file
keeps the line format, every journal line is JSON of a known kind in time
order per application and every administrator event is a whole line of its
ID's text (zelk_testing.records), that no file outside the configured
folders is looked at (traced with strace when it is there; the path-like
train keys point at canary folders), and that a stop ends every watchdog
within a few seconds with each writer's last word written: the journal's
daemon_stopped line, the snapshot's stop time, event 1003. It prints the
figures and exits non-zero on any failure.

    scripts/soak [--seconds 120] [--exe build/linux/src/service/ZELK_Daemon]
"""

import argparse
import os
import random
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
from xml.sax.saxutils import quoteattr

from zelk_testing.harness import LINE_FORMAT
from zelk_testing.records import check_admin_events, check_journal, check_snapshot

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

APPS = 20
BIG_BYTES = 25 * 1024 * 1024
# Growth of resident memory allowed after the warm-up.
RSS_SLACK_KIB = 16 * 1024
STOP_LIMIT_S = 10.0
# The service manager's watchdog interval asked for: the daemon pings at half
# of it while every watchdog thread makes its passes; a longer gap would end
# the service under systemd.
WATCHDOG_INTERVAL_S = 10
# How often the snapshot is read.
SNAPSHOT_READ_S = 0.05
# A train key with an escape sequence, a C1 control, a right-to-left override
# and a zero-width space; its pictures are there, so it makes a mismatch, and
# with it an administrator event, a journal line and a log line that carry it.
HOSTILE_PICTURE_KEY = b"20261208\x1b[31m\xc2\x9b\xe2\x80\xae\xe2\x80\x8bkey"

HANDSHAKE = b"<?xml version=\"1.0\"?><handshake><app>soak</app></handshake>"


def train(time_text, serial=b"S1"):
    return (b"<?xml version=\"1.0\"?><train><time>" + time_text + b"</time>"
            b"<vagen id=\"1\"><serial>" + serial + b"</serial></vagen><vagen id=\"2\"/></train>")


class Stats:
    def __init__(self):
        self.lock = threading.Lock()
        self.connections = 0
        self.bytes = 0
        self.messages = 0

    def add(self, connections=0, sent=0, messages=0):
        with self.lock:
            self.connections += connections
            self.bytes += sent
            self.messages += messages


class Peer:
    """One listening socket on loopback; every accepted connection is served
    by `behaviour` on a thread of its own until the run stops."""

    def __init__(self, kind, behaviour, stats, stop, canary):
        self.kind = kind
        self.behaviour = behaviour
        self.stats = stats
        self.stop = stop
        self.canary = canary
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.listener.settimeout(0.5)
        self.port = self.listener.getsockname()[1]
        self.open = []
        threading.Thread(target=self.accept_loop, daemon=True).start()

    def accept_loop(self):
        while not self.stop.is_set():
            try:
                conn, _ = self.listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            self.stats.add(connections=1)
            self.open.append(conn)
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def serve(self, conn):
        try:
            self.behaviour(self, conn)
        except OSError:
            pass

    def send(self, conn, data, messages=0):
        conn.sendall(data)
        self.stats.add(sent=len(data), messages=messages)

    def idle(self, seconds):
        return self.stop.wait(seconds)

    def close(self):
        self.listener.close()
        for conn in self.open:
            try:
                conn.close()
            except OSError:
                pass


# The behaviours. Each returns when the run stops or the connection breaks.

def garbage(peer, conn):
    rng = random.Random(peer.port)
    block = bytes(rng.getrandbits(8) for _ in range(256 * 1024))
    # Fragments of markup make the search and the parser work.
    block += b"<train><time>x</tim" + b"</handshake" + b"<" * 64 + b"</trai"
    while not peer.idle(0.05):
        peer.send(conn, block)


def zero_bytes(peer, conn):
    block = b"\0" * (256 * 1024)
    while not peer.idle(0.05):
        peer.send(conn, block + HANDSHAKE, messages=1)


def big_unclosed(peer, conn):
    chunk = b"<train><time>2026</time>" + b"A" * (1024 * 1024 - 24)
    while True:
        for _ in range(BIG_BYTES // len(chunk)):
            peer.send(conn, chunk)
        peer.send(conn, b"B" * (BIG_BYTES % len(chunk)))
        if peer.idle(10):
            return


def connect_reset(peer, conn):
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    conn.close()


def half_open(peer, conn):
    peer.send(conn, HANDSHAKE[:20])
    conn.shutdown(socket.SHUT_WR)
    peer.idle(3600)


def silent(peer, conn):
    peer.idle(3600)


def one_byte_a_second(peer, conn):
    while True:
        for i in range(len(HANDSHAKE)):
            peer.send(conn, HANDSHAKE[i:i + 1], messages=1 if i == len(HANDSHAKE) - 1 else 0)
            if peer.idle(1.0):
                return


def hostile_trains(peer, conn):
    canary = peer.canary.encode()
    # The trains without pictures take the daemon seconds of retries each,
    # and the rest of the stream overflows meanwhile: the key with pictures
    # comes first, so that it is met on every connection.
    keys = [
        HOSTILE_PICTURE_KEY, b"../../canary", b"..\\..\\canary", canary, canary + b"/inner", b"..",
        b"2026-12-08 16:40:00/../../canary", b"C:\\Windows\\System32", b"/etc",
        b"2026\r\n--FATAL-- [Mon Jan 01 00:00:00 2024]  [Line:0001]  forged : 0 , x",
        b"\x1b[2J\x07\x08\x7f\x00after-zero", b"%2e%2e%2fcanary", b"&#46;&#46;/canary",
        b"<![CDATA[../../canary]]>", b"2026-12-08 16:40:00",
    ]
    i = 0
    while not peer.idle(0.2):
        key = keys[i % len(keys)]
        serial = b"\r\n\t" if i % 3 == 0 else b"S1"
        peer.send(conn, train(key, serial) + HANDSHAKE, messages=2)
        i += 1


def heartbeat(peer, conn):
    i = 0
    while not peer.idle(0.5):
        if i % 10 == 9:
            # A valid train: its result files are counted in the configured folders.
            peer.send(conn, train(b"2026-12-08 16:40:00"), messages=1)
        else:
            peer.send(conn, HANDSHAKE, messages=1)
        i += 1


def split_flood(peer, conn):
    rng = random.Random(peer.port)
    # Four rounds of twenty handshakes and a train, cut at random points.
    stream = (HANDSHAKE * 20 + train(b"2026-12-08 16:40:%02d" % (peer.port % 60))) * 4
    while not peer.idle(0.1):
        at = 0
        while at < len(stream):
            step = rng.randint(1, 64)
            peer.send(conn, stream[at:at + step])
            at += step
        peer.stats.add(messages=21 * 4)


BEHAVIOURS = [
    garbage, garbage, zero_bytes, zero_bytes, big_unclosed, big_unclosed, connect_reset,
    connect_reset, half_open, half_open, one_byte_a_second, one_byte_a_second, hostile_trains,
    hostile_trains, hostile_trains, hostile_trains, heartbeat, heartbeat, silent, split_flood,
]


def app_name(index):
    """The application's name; one carries the characters a snapshot label
    and a journal line escape."""
    return "zelk-soak-none-%02d" % index + (' "q\\b"' if index == 7 else "")


def write_config(folder, peers):
    """config.xml with the journal and the status on; returns the
    applications as [(name, endpoint)]."""
    lines = ["<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<config>",
             "  <journal folder=\"journal\" days=\"30\"/>", "  <status folder=\"status\"/>"]
    apps = []
    for i, peer in enumerate(peers):
        results = os.path.join(folder, "results", "app%02d" % i)
        for sub in ("pic", "xml1", "xml2"):
            os.makedirs(os.path.join(results, sub))
        # Pictures for the valid train key and the hostile one, so that a
        # mismatch and the uninstall command happen now and then.
        for key in (b"20261208164000", HOSTILE_PICTURE_KEY):
            pictures = os.path.join(results.encode(), b"pic", key)
            os.makedirs(pictures)
            open(os.path.join(pictures, b"a_L001.jpg"), "w").close()
        apps.append((app_name(i), "127.0.0.1:%d" % peer.port))
        lines += [
            "  <app name=%s path=\"%s\">" % (
                quoteattr(app_name(i)), os.path.join(folder, "no-such-app-%02d" % i)),
            "    <socket ip=\"127.0.0.1\" port=\"%d\"/>" % peer.port,
            "    <subApp name=\"sub\" startPath=\"true\" stopPath=\"true\">",
            "      <fileMonitor>%s</fileMonitor>" % os.path.join(results, "xml1"),
            "      <fileMonitor>%s</fileMonitor>" % os.path.join(results, "xml2"),
            "      <picMonitor>%s</picMonitor>" % os.path.join(results, "pic"),
            "    </subApp>",
            "  </app>",
        ]
    lines.append("</config>")
    with open(os.path.join(folder, "config.xml"), "w") as f:
        f.write("\n".join(lines) + "\n")
    return apps


# Sizes in KiB of the watchdog's two buffers as the system maps them: the
# receive buffer (10 MiB of pages), the message buffer (20 MiB and the
# allocator's header page), and both as one mapping when the system placed
# them side by side. Their pages become resident as a connection first writes
# into them, however slowly it sends, so they are measured apart and bounded
# by their size; the rest of the process must stay flat.
BUFFER_MAPPING_KIB = (10240, 20484, 30724)
BUFFERS_PER_APP_KIB = 30724


def memory_kib(pid):
    """(resident KiB in all, resident KiB of the watchdog buffers), or None."""
    total = 0
    buffers = 0
    size = None
    try:
        with open("/proc/%d/smaps" % pid) as f:
            for line in f:
                if line.startswith("Size:"):
                    size = int(line.split()[1])
                elif line.startswith("Rss:"):
                    rss = int(line.split()[1])
                    total += rss
                    if size in BUFFER_MAPPING_KIB:
                        buffers += rss
    except (OSError, ValueError):
        return None
    return total, buffers


def daemon_pid(process, traced, exe):
    """The daemon's process id: when traced, the child of strace that runs
    `exe` (strace may start a short-lived child of its own first)."""
    if not traced:
        return process.pid
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with open("/proc/%d/task/%d/children" % (process.pid, process.pid)) as f:
                children = [int(child) for child in f.read().split()]
            for child in children:
                if os.readlink("/proc/%d/exe" % child) == exe:
                    return child
        except OSError:
            pass
        time.sleep(0.05)
    raise RuntimeError("strace did not start the daemon")


class Lines:
    """The lines of one of the daemon's output streams, each with the time it
    arrived; with `keep` false only counted (the console lines of a long run
    pile up)."""

    def __init__(self, stream, keep):
        self.stream = stream
        self.keep = keep
        self.lines = []
        self.count = 0
        self.rest = b""
        self.lock = threading.Lock()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        while True:
            chunk = os.read(self.stream.fileno(), 65536)
            now = time.monotonic()
            with self.lock:
                if not chunk:
                    if self.rest:
                        self.lines.append((now, self.rest))  # torn: the check says so
                    return
                *whole, self.rest = (self.rest + chunk).split(b"\n")
                self.count += len(whole)
                if self.keep:
                    self.lines += [(now, line + b"\n") for line in whole]

    def taken(self):
        with self.lock:
            return list(self.lines)


class NotifySocket:
    """The service manager's notify socket, in the abstract namespace; every
    datagram kept with the time it arrived."""

    def __init__(self):
        self.address = "@zelk_soak_%d_%d" % (os.getpid(), int(time.monotonic() * 1000))
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind("\0" + self.address[1:])
        self.datagrams = []
        self.lock = threading.Lock()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        while True:
            try:
                data = self.sock.recv(4096)
            except OSError:
                return
            with self.lock:
                self.datagrams.append((time.monotonic(), data.decode("ascii", "replace")))

    def wait_for(self, text, timeout):
        """The arrival of the first datagram holding `text`, or None."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self.lock:
                for arrival, data in self.datagrams:
                    if text in data:
                        return arrival
            time.sleep(0.01)
        return None

    def ping_gaps(self):
        """The longest time without a watchdog ping from READY to STOPPING,
        and the pings."""
        with self.lock:
            datagrams = list(self.datagrams)
        marks = [t for (t, d) in datagrams if "READY=1" in d or "WATCHDOG=1" in d]
        stopping = [t for (t, d) in datagrams if "STOPPING=1" in d]
        if stopping:
            marks = [t for t in marks if t <= stopping[0]] + stopping[:1]
        gaps = [b - a for a, b in zip(marks, marks[1:])]
        return max(gaps or [0.0]), len(marks) - 1 - (1 if stopping else 0)

    def close(self):
        self.sock.close()


class SnapshotReader:
    """Reads the status snapshot every SNAPSHOT_READ_S on a thread of its
    own while the daemon runs: every read must be a whole snapshot
    (zelk_testing.records.check_snapshot) of a running daemon, its write time
    never going back."""

    def __init__(self, path, apps):
        self.path = path
        self.apps = apps
        self.reads = 0
        self.changes = 0  # reads that found another snapshot than the read before
        self.previous = None
        self.failures = []
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        last_write = 0
        last_taken = 0
        while not self.done.wait(SNAPSHOT_READ_S):
            try:
                with open(self.path, "rb") as f:
                    data = f.read()
            except FileNotFoundError:
                continue
            values, failures = check_snapshot(data, self.apps)
            self.reads += 1
            written = values.get(("zelk_status_write_time_seconds", None, None), 0)
            if values.get(("zelk_daemon_stop_time_seconds", None, None)) != 0:
                failures.append("snapshot: a stop time while the daemon runs")
            if written < last_write:
                failures.append("snapshot: write time went back")
            taken = values.get(("zelk_apps_configured", None, None), 0)
            if taken < last_taken:
                failures.append("snapshot: fewer applications than before")
            last_write = max(last_write, written)
            last_taken = max(last_taken, taken)
            self.changes += data != self.previous
            self.previous = data
            self.failures += failures[:10 - len(self.failures)]

    def stop(self):
        self.done.set()
        self.thread.join()


def check_logs(folder):
    """Every line of every log file parsed with the line format; returns
    (lines, failures, thread exits)."""
    logs = os.path.join(folder, "ZELK_LOG")
    lines = 0
    failures = []
    exits = 0
    for name in sorted(os.listdir(logs)) if os.path.isdir(logs) else []:
        with open(os.path.join(logs, name), "rb") as f:
            data = f.read()
        if data and not data.endswith(b"\n"):
            failures.append("%s does not end with a line end" % name)
        for raw in data.split(b"\n")[:-1] if data.endswith(b"\n") else data.split(b"\n"):
            lines += 1
            line = raw.decode("latin-1")
            if "\r" in line or not LINE_FORMAT.match(line):
                failures.append("%s: %r" % (name, line[:200]))
            elif line.endswith(" , Thread exit!"):
                exits += 1
    return lines, failures, exits


# Folders the daemon may look at whatever its configuration: the loader's and
# the C library's files, the process table (process control) and the login
# sessions (the console user an application is launched for).
SYSTEM_PREFIXES = ("/proc/", "/sys/", "/dev/", "/lib", "/usr/", "/etc/", "/bin/", "/sbin/",
                   "/run/systemd/sessions", "/run/systemd/users")
SYSTEM_FOLDERS = ("/", "/proc", "/lib", "/lib64", "/usr", "/run/systemd/sessions")
TRACE_LINE = re.compile(r'^(\d+)\s+(\w+)\((?:[A-Z_]+,\s*)?"((?:[^"\\]|\\.)*)"')


def check_trace(path, allowed):
    """Paths the daemon (and the commands it ran) looked at outside `allowed`
    and the system folders; returns (checked calls, offending paths)."""
    calls = 0
    offending = set()
    if not os.path.exists(path):
        return calls, offending
    with open(path, "r", errors="replace") as f:
        for line in f:
            match = TRACE_LINE.match(line)
            if not match:
                continue
            calls += 1
            target = match.group(3).encode().decode("unicode_escape", "replace")
            if "canary" in target:
                offending.add(target)
                continue
            if target.startswith("/"):
                normal = os.path.normpath(target)
                if normal in SYSTEM_FOLDERS or normal.startswith(SYSTEM_PREFIXES):
                    continue
                if any(normal == a or normal.startswith(a + "/") for a in allowed):
                    continue
                offending.add(target)
            elif ".." in target:
                offending.add(target)
    return calls, offending


class Memory:
    """Resident memory sampled once a second: the watchdog buffers apart,
    the rest flat after the warm-up."""

    def __init__(self, seconds):
        self.warm_up = max(20.0, seconds * 0.4)
        self.samples = []  # (elapsed, resident beside the buffers)
        self.warm = None
        self.peak = 0
        self.peak_buffers = 0

    def sample(self, pid, elapsed):
        memory = memory_kib(pid)
        if memory is None:
            return None
        rss, buffers = memory
        self.samples.append((elapsed, rss - buffers))
        self.peak = max(self.peak, rss)
        self.peak_buffers = max(self.peak_buffers, buffers)
        if self.warm is None and elapsed >= self.warm_up:
            self.warm = rss - buffers
        return memory

    def after(self):
        return max([r for (t, r) in self.samples if t >= self.warm_up] or [0])

    def failures(self):
        if self.warm is None:
            return ["run too short to measure memory after warm-up"]
        failures = []
        if self.after() > self.warm + RSS_SLACK_KIB:
            failures.append("resident memory beside the watchdog buffers grew after warm-up: "
                            "%d KiB -> %d KiB" % (self.warm, self.after()))
        if self.peak_buffers > APPS * BUFFERS_PER_APP_KIB:
            failures.append("watchdog buffers hold %d KiB" % self.peak_buffers)
        return failures


def last_words(folder, apps, errors, stop_wall):
    """What each writer must have written once the service reports itself
    stopped: the journal's last line, the snapshot's stop time, event 1003."""
    failures = []
    journal = os.path.join(folder, "journal")
    names = sorted(os.listdir(journal)) if os.path.isdir(journal) else []
    last = b""
    if names:
        with open(os.path.join(journal, names[-1]), "rb") as f:
            last = f.read().rstrip(b"\n").rsplit(b"\n", 1)[-1]
    if b'"event":"daemon_stopped"' not in last:
        failures.append("journal's last line at the stop: %r" % last[:200])
    status = os.path.join(folder, "status")
    try:
        with open(os.path.join(status, "zelk.prom"), "rb") as f:
            values, _ = check_snapshot(f.read(), apps)
    except OSError:
        values = {}
    stopped = values.get(("zelk_daemon_stop_time_seconds", None, None), 0)
    if not stop_wall - 1 <= stopped <= time.time() + 1:
        failures.append("snapshot's stop time at the stop: %s" % stopped)
    if os.path.isdir(status) and os.listdir(status) != ["zelk.prom"]:
        failures.append("status folder holds %r" % sorted(os.listdir(status)))
    deadline = time.monotonic() + 1  # the stream's reader may lag a little
    while not any(b"event 1003: " in line for (_t, line) in errors.taken()):
        if time.monotonic() > deadline:
            failures.append("no event 1003 at the stop")
            break
        time.sleep(0.02)
    return failures


def stop_service(process, pid, notify, errors, folder, apps):
    """SIGTERM, as systemd stops the service; (seconds until the stopped
    report, failures)."""
    asked = time.monotonic()
    stop_wall = time.time()
    os.kill(pid, signal.SIGTERM)
    stopped = notify.wait_for("STATUS=SERVICE_STOPPED", 60)
    if stopped is None:
        return None, ["stop did not end within 60 s"]
    failures = last_words(folder, apps, errors, stop_wall)
    if stopped - asked > STOP_LIMIT_S:
        failures.append("stop took %.1f s" % (stopped - asked))
    try:
        rc = process.wait(timeout=30)
        if rc != 0:
            failures.append("exit code %d" % rc)
    except subprocess.TimeoutExpired:
        failures.append("daemon did not exit after stop")
    return stopped - asked, failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "linux", "src", "service", "ZELK_Daemon"))
    parser.add_argument("--no-strace", action="store_true")
    parser.add_argument("--keep", action="store_true", help="keep the run folder")
    args = parser.parse_args()

    if not os.path.exists(args.exe):
        print("soak: no daemon at %s (build the linux preset or pass --exe)" % args.exe)
        return 2
    base = tempfile.mkdtemp(prefix="zelk_soak_")
    folder = os.path.join(base, "daemon")
    canary = os.path.join(base, "canary")
    os.makedirs(folder)
    os.makedirs(os.path.join(canary, "inner"))
    open(os.path.join(canary, "secret_L001.jpg"), "w").close()
    exe = os.path.join(folder, os.path.basename(args.exe))
    shutil.copy2(args.exe, exe)

    stop = threading.Event()
    stats = Stats()
    peers = [Peer(b.__name__, b, stats, stop, canary) for b in BEHAVIOURS[:APPS]]
    apps = write_config(folder, peers)

    traced = not args.no_strace and shutil.which("strace") is not None
    trace_path = os.path.join(base, "trace.txt")
    command = [exe]
    if traced:
        command = ["strace", "-f", "-qq", "-e", "trace=%file", "-o", trace_path] + command
    notify = NotifySocket()
    # A plain search path, so that the shell the commands run in looks only
    # in the system folders; the service manager's variables, so that the
    # daemon runs in service mode and pings its watchdog.
    env = dict(os.environ, PATH="/usr/bin:/bin", PWD=folder, NOTIFY_SOCKET=notify.address,
               WATCHDOG_USEC=str(WATCHDOG_INTERVAL_S * 1000000))
    began_wall = time.time()
    process = subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    console = Lines(process.stdout, keep=False)
    errors = Lines(process.stderr, keep=True)
    snapshot = SnapshotReader(os.path.join(folder, "status", "zelk.prom"), apps)
    memory = Memory(args.seconds)
    failures = []
    stop_seconds = None
    pid = None
    try:
        pid = daemon_pid(process, traced, exe)
        if notify.wait_for("READY=1", 30) is None:
            failures.append("no READY=1 within 30 s")
        began = time.monotonic()
        next_report = began + 30
        while time.monotonic() - began < args.seconds:
            time.sleep(1.0)
            if process.poll() is not None:
                failures.append("daemon ended early with code %s" % process.returncode)
                break
            elapsed = time.monotonic() - began
            sample = memory.sample(pid, elapsed)
            if sample and time.monotonic() >= next_report:
                next_report += 30
                print("soak: %3.0fs resident %d KiB (watchdog buffers %d KiB), %d connections, "
                      "%d bytes sent, %d snapshot reads" % (
                          elapsed, sample[0], sample[1], stats.connections, stats.bytes,
                          snapshot.reads), flush=True)
        snapshot.stop()
        if process.poll() is None:
            failures += memory.failures()
            stop_seconds, stop_failures = stop_service(process, pid, notify, errors, folder, apps)
            failures += stop_failures
    finally:
        stop.set()
        snapshot.stop()
        if process.poll() is None:
            # strace lets its tracee run on when it is killed: the daemon first.
            for doomed in {pid, process.pid} if pid else {process.pid}:
                try:
                    os.kill(doomed, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            process.wait()
        for peer in peers:
            peer.close()
        notify.close()
    ended_wall = time.time()

    failures += snapshot.failures
    longest_gap, pings = notify.ping_gaps()
    if longest_gap >= WATCHDOG_INTERVAL_S:
        failures.append("%.1f s without a watchdog ping (the service manager waits %d s)" % (
            longest_gap, WATCHDOG_INTERVAL_S))
    lines, log_failures, exits = check_logs(folder)
    failures += ["log line out of format: " + f for f in log_failures[:10]]
    if stop_seconds is not None and exits != APPS:
        failures.append("%d of %d watchdogs logged their exit" % (exits, APPS))
    journal_counts, journal_failures = check_journal(os.path.join(folder, "journal"), apps,
                                                     (began_wall, ended_wall))
    failures += journal_failures[:10]
    admin_counts, admin_failures = check_admin_events(errors.taken(), [n for (n, _e) in apps])
    failures += admin_failures[:10]
    # Besides its own folder, a service opens its control channel in the
    # runtime folder the service manager gives it.
    allowed = [folder, "/run/zelk"]
    trace_calls, offending = check_trace(trace_path, allowed) if traced else (0, set())
    for path in sorted(offending)[:20]:
        failures.append("looked at a file outside the configured folders: %r" % path)

    print("soak: %d applications for %.0f s" % (APPS, args.seconds))
    print("soak: connections %d, bytes sent %d, messages sent %d" % (
        stats.connections, stats.bytes, stats.messages))
    print("soak: log lines checked %d, watchdog exits %d, console lines %d" % (
        lines, exits, console.count))
    print("soak: journal lines checked %d: %s" % (sum(journal_counts.values()), ", ".join(
        "%s %d" % item for item in sorted(journal_counts.items()))))
    print("soak: snapshot reads checked %d (%d changes), watchdog pings %d, longest gap %.1f s" % (
        snapshot.reads, snapshot.changes, pings, longest_gap))
    print("soak: administrator events checked %d: %s" % (sum(admin_counts.values()), ", ".join(
        "%d x%d" % item for item in sorted(admin_counts.items()))))
    if memory.samples:
        print("soak: resident memory beside the watchdog buffers at warm-up end %s KiB, "
              "after it max %d KiB" % (memory.warm, memory.after()))
        print("soak: peak resident memory %d KiB, of it watchdog buffers %d KiB" % (
            memory.peak, memory.peak_buffers))
    print("soak: stop took %s s" % ("%.2f" % stop_seconds if stop_seconds is not None else "-"))
    print("soak: file-system calls traced %s" % (trace_calls if traced else "(strace not used)"))
    if not args.keep:
        shutil.rmtree(base, ignore_errors=True)
    else:
        print("soak: run folder kept at %s" % base)
    for failure in failures:
        print("soak: FAIL " + failure)
    print("soak: %s" % ("passed" if not failures else "FAILED"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
