"""Helpers for end-to-end tests that run the real daemon executable, natively
or under Wine, in a folder of its own."""

import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

LINE_FORMAT = re.compile(
    r"--(FATAL|WARNING|MONITOR|NOTICE|TRACE|DEBUG)-- "
    r"\[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    r"\d\d \d\d:\d\d:\d\d \d{4}\]  \[Line:\d{4,}\]  (\S+) : (-?\d+) , (.*)$")


class DaemonRun:
    """The daemon copied into a fresh folder and started with piped standard
    streams. Output is collected by a background reader, so a test waits for
    texts without ever blocking on the pipe."""

    def __init__(self, exe, wine=False, folder=None):
        self.wine = wine
        self.folder = folder or tempfile.mkdtemp(prefix="zelk_e2e_")
        self.exe = os.path.join(self.folder, os.path.basename(exe))
        shutil.copy2(exe, self.exe)
        self.output = b""
        self._lock = threading.Lock()
        self.process = None

    def start(self, arguments=(), extra_env=None):
        command = (["wine", self.exe] if self.wine else [self.exe]) + list(arguments)
        env = dict(os.environ)
        env.update(extra_env or {})
        if self.wine:
            env["WINEDEBUG"] = "-all"
        self.process = subprocess.Popen(command, cwd=self.folder, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        reader = threading.Thread(target=self._read, daemon=True)
        reader.start()

    def _read(self):
        while True:
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                return
            with self._lock:
                self.output += chunk

    def text(self):
        with self._lock:
            return self.output.decode("latin-1")

    def wait_for(self, needle, timeout, start=0):
        """Waits until `needle` appears in the output at or after `start`;
        returns the offset just past it."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.text().find(needle, start)
            if found >= 0:
                return found + len(needle)
            if self.process.poll() is not None:
                time.sleep(0.2)
                found = self.text().find(needle, start)
                if found >= 0:
                    return found + len(needle)
                raise AssertionError("process ended (rc %s) before %r appeared; output:\n%s"
                                     % (self.process.returncode, needle, self.text()))
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %r; output:\n%s" % (needle, self.text()))

    def press_key(self):
        self.process.stdin.write(b"x")
        self.process.stdin.flush()

    def wait_exit(self, timeout):
        return self.process.wait(timeout=timeout)

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def log_bytes(self):
        folder = os.path.join(self.folder, "ZELK_LOG")
        data = b""
        if os.path.isdir(folder):
            for name in sorted(os.listdir(folder)):
                with open(os.path.join(folder, name), "rb") as f:
                    data += f.read()
        return data

    def log_lines(self):
        """Every log line, parsed: (level, function, code, message). Fails on a
        line that does not have the exact format."""
        data = self.log_bytes()
        ending = b"\r\n" if self.wine else b"\n"
        assert data.endswith(ending), "log does not end with %r" % ending
        parsed = []
        for raw in data[:-len(ending)].split(ending):
            line = raw.decode("latin-1")
            assert "\r" not in line and "\n" not in line, "stray line end in %r" % line
            match = LINE_FORMAT.match(line)
            assert match, "log line out of format: %r" % line
            parsed.append((match.group(1), match.group(4), int(match.group(5)), match.group(6)))
        return parsed

    def cleanup(self):
        self.kill()
        shutil.rmtree(self.folder, ignore_errors=True)
