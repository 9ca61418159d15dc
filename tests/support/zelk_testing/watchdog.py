"""Pieces shared by the watchdog end-to-end tests: the supervisor driver run
with shortened waits, a loopback peer that plays the supervised application's
listening side, and copies of the stand-in application."""

import argparse
import os
import shutil
import socket
import struct
import subprocess
import time

from zelk_testing.harness import DaemonRun


def driver_arguments(*extra):
    """The arguments every driver test takes (the daemon, --wine, the driver)
    and those named in `extra`: (flag, keyword arguments of add_argument)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--driver", required=True)
    for flag, options in extra:
        parser.add_argument(flag, **options)
    return parser.parse_args()


class DriverRun(DaemonRun):
    """The watchdog driver in a fresh folder, with its read wait and its sleep
    after a failed read given in milliseconds."""

    def __init__(self, exe, wine, wait_ms, sleep_ms):
        super().__init__(exe, wine=wine)
        self.arguments = [str(wait_ms), str(sleep_ms)]

    def start(self):
        import threading
        command = (["wine", self.exe] if self.wine else [self.exe]) + self.arguments
        env = dict(os.environ)
        if self.wine:
            env["WINEDEBUG"] = "-all"
        self.process = subprocess.Popen(command, cwd=self.folder, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        threading.Thread(target=self._read, daemon=True).start()

    def native_path(self, path):
        """`path` as the driver sees it: a Windows path under Wine."""
        if not self.wine:
            return path
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def write_config(self, apps, sub_app=None):
        """apps: (name, path, port) triples, with name and path as the
        supervisor sees them. sub_app: optional dict with name, startPath,
        stopPath, picMonitor and fileMonitor, given to every app."""
        text = '<?xml version="1.0"?>\r\n<config>\r\n'
        for name, path, port in apps:
            text += ('  <app name="%s" path="%s">\r\n'
                     '    <socket ip="127.0.0.1" port="%d"/>\r\n') % (name, quote(path), port)
            if sub_app:
                text += ('    <subApp name="%s" startPath="%s" stopPath="%s">\r\n'
                         '      <fileMonitor>%s</fileMonitor>\r\n'
                         '      <picMonitor>%s</picMonitor>\r\n'
                         '    </subApp>\r\n') % (
                    quote(sub_app["name"]), quote(sub_app["startPath"]), quote(sub_app["stopPath"]),
                    sub_app["fileMonitor"], sub_app["picMonitor"])
            text += '  </app>\r\n'
        text += "</config>\r\n"
        with open(os.path.join(self.folder, "config.xml"), "w") as f:
            f.write(text)

    def thread_messages(self):
        return [message for (_level, function, _code, message) in self.log_lines()
                if function == "CDaemon::DaemonThread"]


def quote(value):
    return value.replace("&", "&amp;").replace('"', "&quot;")


class Peer:
    """A listening socket on the loopback address: what the supervised
    application offers its watchdog."""

    def __init__(self):
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(8)
        self.port = self.server.getsockname()[1]

    def accept(self, timeout):
        self.server.settimeout(timeout)
        try:
            connection, _ = self.server.accept()
        except socket.timeout:
            raise AssertionError("the watchdog did not connect within %s s" % timeout)
        return connection

    @staticmethod
    def reset(connection):
        """Closes an accepted connection abortively: the watchdog sees a reset."""
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        connection.close()

    def close(self):
        self.server.close()


def copy_stand_in(stand_in, folder, stem):
    """A copy of the stand-in application under a name no other run uses;
    returns its path."""
    extension = os.path.splitext(stand_in)[1]
    target = os.path.join(folder, "%s_%d_%d%s" % (stem, os.getpid(), int(time.time() * 1000) % 100000,
                                                 extension))
    shutil.copy2(stand_in, target)
    return target


def wait_for_file(path, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path):
            return
        time.sleep(0.05)
    raise AssertionError("%s never appeared" % path)


def kill_native_processes(name):
    """Ends the native processes whose executable file name is `name` (the
    stand-ins a test launched; the name is unique to the run)."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.path.basename(os.readlink("/proc/%s/exe" % entry)) == name:
                os.kill(int(entry), 9)
        except OSError:
            pass


def failure_lines(name):
    """The lines of 31 failed reads in a row, from the first to the new socket."""
    lines = []
    for before in range(31):
        lines.append("%s recv data failure %d" % (name, before))
        if before == 10:
            lines.append("%s recv data failure 11, try close process" % name)
        if before == 19:
            lines.append("%s recv data failure 20, try open process" % name)
        if before == 30:
            lines.append("recv data failure, goto loop")
    return lines
