#!/usr/bin/env python3
"""Soak run of the daemon against hostile peers on loopback.

Twenty applications are configured, each pointing at a peer served here that
misbehaves in its own way: garbage, zero bytes, 25 MiB without a closing tag,
connect-and-reset, half-open and silent connections, one byte a second, and
trains whose time texts are path-like or carry control characters. Over the
run it checks that the daemon stays up, that its resident memory stays flat
after the warm-up, that every line of every log file keeps the line format,
that no file outside the configured folders is looked at (traced with strace
when it is there; the path-like train keys point at canary folders), and that
stop ends every watchdog within a few seconds. It prints the figures and exits
non-zero on any failure.

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

from zelk_testing.harness import LINE_FORMAT

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

START = "=======================start====================="
PROMPT = "Press any key to continue"
APPS = 20
BIG_BYTES = 25 * 1024 * 1024
# Growth of resident memory allowed after the warm-up.
RSS_SLACK_KIB = 16 * 1024
STOP_LIMIT_S = 10.0

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
    keys = [
        b"../../canary", b"..\\..\\canary", canary, canary + b"/inner", b"..",
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


def write_config(folder, peers):
    lines = ["<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<config>"]
    for i, peer in enumerate(peers):
        results = os.path.join(folder, "results", "app%02d" % i)
        for sub in ("pic", "xml1", "xml2"):
            os.makedirs(os.path.join(results, sub))
        # Pictures for the valid train key, so that a mismatch and the
        # uninstall command happen now and then.
        pictures = os.path.join(results, "pic", "20261208164000")
        os.makedirs(pictures)
        open(os.path.join(pictures, "a_L001.jpg"), "w").close()
        lines += [
            "  <app name=\"zelk-soak-none-%02d\" path=\"%s\">" % (
                i, os.path.join(folder, "no-such-app-%02d" % i)),
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


def daemon_pid(process, traced):
    """The daemon's process id: strace's child when traced."""
    if not traced:
        return process.pid
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with open("/proc/%d/task/%d/children" % (process.pid, process.pid)) as f:
                children = f.read().split()
            if children:
                return int(children[0])
        except OSError:
            pass
        time.sleep(0.05)
    raise RuntimeError("strace did not start the daemon")


class Output:
    def __init__(self, process):
        self.process = process
        self.data = b""
        self.lock = threading.Lock()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        while True:
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                return
            with self.lock:
                # Only the tail matters; the console lines of a long run pile up.
                self.data = (self.data + chunk)[-1024 * 1024:]
                self.total = getattr(self, "total", 0) + chunk.count(PROMPT.encode())

    def prompts(self):
        with self.lock:
            return getattr(self, "total", 0)

    def wait_prompts(self, count, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.prompts() >= count:
                return True
            time.sleep(0.02)
        return False


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
    write_config(folder, peers)

    traced = not args.no_strace and shutil.which("strace") is not None
    trace_path = os.path.join(base, "trace.txt")
    command = [exe]
    if traced:
        command = ["strace", "-f", "-qq", "-e", "trace=%file", "-o", trace_path] + command
    # A plain search path, so that the shell the commands run in looks only
    # in the system folders.
    env = dict(os.environ, PATH="/usr/bin:/bin", PWD=folder)
    process = subprocess.Popen(command, cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, env=env)
    output = Output(process)
    failures = []
    samples = []
    peak = 0
    peak_buffers = 0
    stop_seconds = None
    try:
        pid = daemon_pid(process, traced)
        began = time.monotonic()
        warm_up = max(20.0, args.seconds * 0.4)
        warm_rss = None
        next_report = began + 30
        while time.monotonic() - began < args.seconds:
            time.sleep(1.0)
            if process.poll() is not None:
                failures.append("daemon ended early with code %s" % process.returncode)
                break
            memory = memory_kib(pid)
            if memory is None:
                continue
            rss, buffers = memory
            elapsed = time.monotonic() - began
            samples.append((elapsed, rss - buffers))
            peak = max(peak, rss)
            peak_buffers = max(peak_buffers, buffers)
            if warm_rss is None and elapsed >= warm_up:
                warm_rss = rss - buffers
            if time.monotonic() >= next_report:
                next_report += 30
                print("soak: %3.0fs resident %d KiB (watchdog buffers %d KiB), %d connections, "
                      "%d bytes sent" % (elapsed, rss, buffers, stats.connections, stats.bytes),
                      flush=True)

        if process.poll() is None:
            if warm_rss is not None:
                after = [r for (t, r) in samples if t >= warm_up]
                if after and max(after) > warm_rss + RSS_SLACK_KIB:
                    failures.append("resident memory beside the watchdog buffers grew after "
                                    "warm-up: %d KiB -> %d KiB" % (warm_rss, max(after)))
            else:
                failures.append("run too short to measure memory after warm-up")
            if peak_buffers > APPS * BUFFERS_PER_APP_KIB:
                failures.append("watchdog buffers hold %d KiB" % peak_buffers)
            # Stop: the key ends the console wait; the second prompt comes
            # once every watchdog has ended.
            asked = time.monotonic()
            process.stdin.write(b"x")
            process.stdin.flush()
            if output.wait_prompts(2, 60):
                stop_seconds = time.monotonic() - asked
                if stop_seconds > STOP_LIMIT_S:
                    failures.append("stop took %.1f s" % stop_seconds)
            else:
                failures.append("stop did not end within 60 s")
            process.stdin.write(b"x")
            process.stdin.flush()
            try:
                rc = process.wait(timeout=30)
                if rc != 0:
                    failures.append("exit code %d" % rc)
            except subprocess.TimeoutExpired:
                failures.append("daemon did not exit after stop")
    finally:
        stop.set()
        if process.poll() is None:
            process.send_signal(signal.SIGKILL)
            process.wait()
        for peer in peers:
            peer.close()

    lines, log_failures, exits = check_logs(folder)
    failures += ["log line out of format: " + f for f in log_failures[:10]]
    if stop_seconds is not None and exits != APPS:
        failures.append("%d of %d watchdogs logged their exit" % (exits, APPS))
    trace_calls, offending = check_trace(trace_path, [folder]) if traced else (0, set())
    for path in sorted(offending)[:20]:
        failures.append("looked at a file outside the configured folders: %r" % path)

    print("soak: %d applications for %.0f s" % (APPS, args.seconds))
    print("soak: connections %d, bytes sent %d, messages sent %d" % (
        stats.connections, stats.bytes, stats.messages))
    print("soak: log lines checked %d, watchdog exits %d" % (lines, exits))
    if samples:
        print("soak: resident memory beside the watchdog buffers at warm-up end %s KiB, "
              "after it max %d KiB" % (warm_rss, max(r for (t, r) in samples if t >= warm_up)
                                       if warm_rss else 0))
        print("soak: peak resident memory %d KiB, of it watchdog buffers %d KiB" % (
            peak, peak_buffers))
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
