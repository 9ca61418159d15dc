"""Helpers for end-to-end tests of the daemon against real trackside
simulator processes: a config.xml for them, copies of the simulator under
names of their own, their start, their logs, and their end through a stop
file (which also ends the instances the daemon launched itself)."""

import argparse
import json
import os
import re
import shutil
import socket
import subprocess
import time

from zelk_testing.harness import DaemonRun


def parse_args():
    """The arguments every simulator test takes: the daemon, the simulator,
    and whether both are Windows builds run under Wine."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--zelkctl", help="zelkctl, for the tests that read with it")
    return parser.parse_args()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SimApp:
    def __init__(self, setup, name, options, sub_commands):
        self.setup = setup
        self.name = name
        self.port = free_port()
        self.exe = os.path.join(setup.run.folder, name + setup.suffix)
        self.log = os.path.join(setup.run.folder, name + ".events")
        self.pictures = os.path.join(setup.run.folder, name + "_results", "pics")
        self.xml = os.path.join(setup.run.folder, name + "_results", "xml")
        self.options = list(options)
        self.sub_commands = sub_commands
        os.makedirs(self.pictures)
        os.makedirs(self.xml)
        shutil.copy2(setup.sim, self.exe)

    @property
    def exe_name(self):
        """The executable name the daemon terminates."""
        return os.path.basename(self.exe)

    def command(self):
        native = self.setup.native
        return [native(self.exe), "--port", str(self.port), "--picture-dir", native(self.pictures),
                "--xml-dir", native(self.xml), "--log", native(self.log),
                "--stop-file", native(self.setup.stop_file)] + self.options

    def start(self):
        """Starts the first instance (the daemon launches later ones) and
        waits until it listens."""
        prefix = ["wine"] if self.setup.wine else []
        subprocess.Popen(prefix + self.command(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, env=self.setup.run_env(), start_new_session=True)
        self.wait_event("listening on", 90)

    def events(self):
        try:
            with open(self.log, "rb") as f:
                return f.read().decode("latin-1")
        except FileNotFoundError:
            return ""

    def wait_event(self, needle, timeout, count=1):
        deadline = time.monotonic() + timeout
        while self.events().count(needle) < count:
            assert time.monotonic() < deadline, "%s: timed out waiting for %r (x%d); events:\n%s" % (
                self.name, needle, count, self.events())
            time.sleep(0.1)


class SimSetup:
    """A daemon folder with simulated applications. Use as a context manager:
    on leaving, the daemon is killed if still running, every simulator
    instance is told to stop, and the folder is removed."""

    def __init__(self, exe, sim, wine):
        self.run = DaemonRun(exe, wine=wine)
        self.sim = sim
        self.wine = wine
        self.suffix = ".exe" if wine else ""
        # A tag of this run in every application name, so that a test that
        # terminates its applications by name never hits another run's.
        self.tag = "%x" % (os.getpid() & 0xFFFFF)
        self.stop_file = os.path.join(self.run.folder, "stop")
        self.apps = []
        # A folder for the status snapshot, or None for a config.xml without
        # a status element; the same for the event journal.
        self.status_folder = None
        self.journal_folder = None
        # A folder for dumps of silent applications, or None.
        self.evidence_folder = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.run.kill()
        open(self.stop_file, "w").close()
        time.sleep(1.5)
        if not self.wine:
            # Instances started by the daemon end on the stop file too; this
            # is only for one that hangs.
            for app in self.apps:
                for pid in re.findall(r"\(pid (\d+)\)", app.events()):
                    try:
                        os.kill(int(pid), 9)
                    except OSError:
                        pass
        self.run.cleanup()
        return False

    def native(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run_env(self):
        env = dict(os.environ)
        if self.wine:
            env["WINEDEBUG"] = "-all"
        return env

    def marker_command(self, marker):
        """A harmless sub-application command that creates `marker`."""
        folder = self.run.folder
        if self.wine:
            script = os.path.join(folder, os.path.basename(marker) + ".bat")
            with open(script, "w", newline="") as f:
                f.write('@echo ran>"%s"\r\n' % self.native(marker))
        else:
            script = os.path.join(folder, os.path.basename(marker) + ".sh")
            with open(script, "w") as f:
                f.write('#!/bin/sh\necho ran >"%s"\n' % marker)
            os.chmod(script, 0o755)
        return self.native(script)

    def add_app(self, role, options, sub_commands=("", "")):
        app = SimApp(self, "sim_%s_%s" % (role, self.tag), options, sub_commands)
        self.apps.append(app)
        return app

    def write_config(self):
        def attr(text):
            return (text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
                    .replace(">", "&gt;"))
        lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<config>"]
        if self.status_folder is not None:
            lines.append('  <status folder="%s"/>' % attr(self.native(self.status_folder)))
        if self.journal_folder is not None:
            lines.append('  <journal folder="%s"/>' % attr(self.native(self.journal_folder)))
        if self.evidence_folder is not None:
            lines.append('  <evidence folder="%s" keep="2"/>' % attr(self.native(self.evidence_folder)))
        for app in self.apps:
            start, stop = app.sub_commands
            lines += [
                '  <app name="%s" path="%s">' % (attr(app.exe_name), attr(" ".join(app.command()))),
                '    <socket ip="127.0.0.1" port="%d"></socket>' % app.port,
                '    <subApp name="%s_sub" startPath="%s" stopPath="%s">' % (app.name, attr(start), attr(stop)),
                "      <fileMonitor>%s</fileMonitor>" % attr(self.native(app.xml)),
                "      <picMonitor>%s</picMonitor>" % attr(self.native(app.pictures)),
                "    </subApp>",
                "  </app>",
            ]
        lines.append("</config>")
        with open(os.path.join(self.run.folder, "config.xml"), "w") as f:
            f.write("\n".join(lines) + "\n")

    def start(self, daemon_env=None):
        """Writes config.xml, starts every application, then the daemon (with
        `daemon_env` added to its environment), and waits for its start banner."""
        self.write_config()
        for app in self.apps:
            app.start()
        self.run.start(extra_env=daemon_env)
        self.run.wait_for("=======================start=====================", 60 if self.wine else 15)

    def journal(self):
        """Every line of the event journal, parsed, in the order written."""
        events = []
        for name in sorted(os.listdir(self.journal_folder)):
            with open(os.path.join(self.journal_folder, name), encoding="utf-8") as f:
                events += [json.loads(line) for line in f]
        return events

    def zelkctl(self, zelkctl, *arguments):
        """zelkctl's standard output (natively, or under Wine in the run's
        prefix), with paths among the arguments given as the daemon sees them."""
        prefix = ["wine"] if self.wine else []
        result = subprocess.run(prefix + [zelkctl] + list(arguments), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=self.run_env(), timeout=120)
        return result.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def log_text(self):
        return self.run.log_bytes().decode("latin-1")

    def wait_log(self, needle, timeout, count=1):
        """Waits until the daemon's log holds `needle` `count` times."""
        deadline = time.monotonic() + timeout
        while self.log_text().count(needle) < count:
            assert time.monotonic() < deadline, "timed out waiting for %r (x%d) in the log:\n%s\nconsole:\n%s" % (
                needle, count, self.log_text(), self.run.text())
            time.sleep(0.2)

    def stop_daemon(self, timeout):
        """Presses the key that stops the supervisor; returns the seconds until
        every watchdog thread has ended. Then leaves the console program."""
        started = time.monotonic()
        self.run.press_key()
        self.run.wait_for("========================stop=====================", timeout)
        self.run.wait_for("Press any key to continue", timeout,
                          self.run.text().find("========================stop====================="))
        took = time.monotonic() - started
        self.run.press_key()
        assert self.run.wait_exit(30) == 0
        return took
