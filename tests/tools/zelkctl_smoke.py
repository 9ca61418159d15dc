"""Runs the built zelkctl (natively or under Wine): --help and one-line errors
for bad command lines; check on a configuration holding every pitfall (exit
1, each one named) and on one that is not well-formed (exit 2); paths in the
Debian layout, counted from the daemon's folder; status
finding the snapshot through config.xml or --file; status --watch redrawing
as the snapshot appears and ending at a key, and natively at Ctrl-C."""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from zelk_testing.tool_process import ToolProcess


def run(tool, *args):
    """The tool's exit code and its two output streams as text."""
    r = tool.run(*args)
    return r.returncode, r.stdout.decode("latin-1"), r.stderr.decode("latin-1")


class Watch:
    """zelkctl status --watch with piped standard streams; output is
    collected by a background reader."""

    def __init__(self, tool, *args):
        self.process = tool.start("status", "--watch", "1", *args, stdin=subprocess.PIPE)
        self.output = b""
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                return
            with self.lock:
                self.output += chunk

    def text(self):
        with self.lock:
            return self.output.decode("latin-1").replace("\r\n", "\n")

    def wait_for(self, needle, start=0, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.text().find(needle, start)
            if found >= 0:
                return found + len(needle)
            assert self.process.poll() is None, "ended (rc %s):\n%s" % (self.process.returncode,
                                                                        self.text())
            time.sleep(0.05)
        raise AssertionError("no %r in:\n%s" % (needle, self.text()))

    def finish(self):
        try:
            return self.process.wait(timeout=15)
        finally:
            if self.process.poll() is None:
                self.process.kill()


def write(path, text):
    with open(path, "w", newline="\n") as f:
        f.write(text)


def check_help_and_errors(tool):
    rc, out, err = run(tool, "--help")
    assert rc == 0 and "Usage: zelkctl COMMAND" in out, (rc, out, err)
    for args in ([], ["nope"], ["status", "--watch", "0"], ["check", "a", "b"]):
        rc, out, err = run(tool, *args)
        lines = err.strip().splitlines()
        assert rc == 3 and len(lines) == 1 and lines[0].startswith("zelkctl: "), (args, rc, err)


def pitfall_config(tool, folder):
    """A config.xml with every pitfall, and the texts that must name them."""
    for sub in ("xml", "pics"):
        os.makedirs(os.path.join(folder, sub))
    program = tool.path(tool.exe)
    xml, pics = tool.path(os.path.join(folder, "xml")), tool.path(os.path.join(folder, "pics"))
    sub_app = ('<subApp name="s"><fileMonitor>%s</fileMonitor><picMonitor>%s</picMonitor>'
               '<picMonitor>%s</picMonitor></subApp>' % (xml, pics, tool.path("/nonexistent")))
    monitors = "".join("<fileMonitor>%s</fileMonitor>" % xml for _ in range(17))
    apps = [
        '<app name="good.exe" path="%s"><socket ip="127.0.0.1" port="7001"/>%s</app>'
        % (program, sub_app),
        '<app path="%s"><socket ip="localhost" port=" 8080x"/></app>' % program,
        '<app name="good.exe" path="%s"><subApp/><socket ip="127.0.0.1" port="7001"/></app>'
        % tool.path("/nonexistent/app.exe"),
        '<app name="m.exe" path="%s"><subApp><fileMonitor>%s</fileMonitor>'
        '<fileMonitor></fileMonitor><fileMonitor>%s</fileMonitor><picMonitor>%s</picMonitor>'
        '</subApp></app>' % (program, tool.path("/nonexistent/xml"), xml, pics),
        '<app name="many.exe" path="%s"><socket ip="127.0.0.2" port="7002"/><subApp>%s'
        '<picMonitor>%s</picMonitor></subApp></app>' % (program, monitors, pics),
    ]
    apps += ['<app name="a%d.exe" path="%s"><socket ip="127.0.1.%d" port="7003"/></app>'
             % (i, program, i) for i in range(6, 23)]
    write(os.path.join(folder, "config.xml"),
          '<?xml version="1.0"?>\n<config>\n<status folder="no-status"/>\n%s\n</config>\n'
          % "\n".join(apps))
    return [
        'config.xml: status folder "%s" cannot be written (it does not exist)'
        % tool.path(os.path.join(folder, "no-status")),
        'config.xml: 2 app elements after the 20th are never watched: "a21.exe", "a22.exe"',
        'app 2 "": empty name',
        'app 2 "": ip "localhost" is not a dotted IPv4 address',
        'app 2 "": port " 8080x" is not a plain number from 1 to 65535: the daemon connects to '
        'port 8080',
        'app 3 "good.exe": path "%s": program not found' % tool.path("/nonexistent/app.exe"),
        'app 3 "good.exe": a subApp before the socket element is not seen',
        'app 3 "good.exe": same endpoint 127.0.0.1:7001 as app 1 "good.exe"',
        'app 3 "good.exe": same name as app 1 "good.exe"',
        'app 4 "m.exe": no socket element',
        'app 4 "m.exe": fileMonitor 2 is empty and ends the list',
        'app 4 "m.exe": fileMonitor folder does not exist',
        'app 1 "good.exe": only the first picMonitor is used',
        'app 5 "many.exe": 17 fileMonitor elements: only the first 16 are read',
    ]


def check_check(tool, folder):
    expected = pitfall_config(tool, folder)
    rc, out, err = run(tool, "check", tool.path(os.path.join(folder, "config.xml")))
    pitfalls = [line for line in out.splitlines() if line.startswith("pitfall: ")]
    assert rc == 1 and err == "", (rc, err)
    for text in expected:
        assert any(text in line for line in pitfalls), "%r not named in:\n%s" % (text, out)
    assert len(pitfalls) == len(expected), out
    assert "%d pitfalls found." % len(expected) in out, out

    write(os.path.join(folder, "broken.xml"), "<config><app name=\"a\"></config>")
    rc, out, _err = run(tool, "check", tool.path(os.path.join(folder, "broken.xml")))
    assert rc == 2 and "unended_start_tag" in out, out
    assert ("not loaded (not well-formed: a start tag without its end tag at line 1, column 9, "
            "closed by the end tag at line 1, column 24)") in out, out


def check_paths(tool, folder):
    """The Debian layout: zelkctl beside the daemon in opt/, whose config.xml
    links to etc/config.xml, the file the operator edits and checks. Relative
    paths count from opt/, as the daemon counts them, for check and status
    alike; a relative result folder is named where a service looks for it."""
    opt, etc = os.path.join(folder, "opt"), os.path.join(folder, "etc")
    for sub in (etc, os.path.join(opt, "status")):
        os.makedirs(sub)
    copy = ToolProcess(shutil.copy(tool.exe, opt), tool.wine)
    config = os.path.join(etc, "config.xml")
    write(config, '<config><status folder="status"/><app name="a.exe" path="%s"><socket '
                  'ip="127.0.0.1" port="7001"/><subApp><picMonitor>pics</picMonitor></subApp>'
                  '</app></config>' % copy.path(copy.exe))
    os.symlink(config, os.path.join(opt, "config.xml"))
    rc, out, err = run(copy, "check", copy.path(config))
    out = out.replace("\r\n", "\n")
    snapshot = os.path.join(opt, "status", "zelk.prom")
    pitfalls = [line for line in out.splitlines() if line.startswith("pitfall: ")]
    assert rc == 1 and err == "", (rc, out, err)
    assert "daemon folder: %s\n" % copy.path(opt + "/") in out, out
    assert "status snapshot: %s\n" % copy.path(snapshot) in out, out
    assert len(pitfalls) == 1 and 'picMonitor "pics' in pitfalls[0], out
    assert "is relative, so it depends on the daemon's current folder: as a service it is" in out
    write(snapshot, "zelk_status_write_time_seconds %d\n"
                    'zelk_app_connected{app="a.exe",index="0",endpoint="127.0.0.1:7001"} 1\n'
                    % time.time())
    rc, out, err = run(copy, "status", "--config", copy.path(config))
    assert rc == 0 and copy.path(snapshot) in out, (rc, out, err)


def check_status(tool, folder):
    status = os.path.join(folder, "status")
    os.makedirs(status)
    config = os.path.join(folder, "status.xml")
    write(config, '<config><status folder="status"/></config>')
    snapshot = os.path.join(status, "zelk.prom")
    missing = os.path.join(folder, "missing.prom")
    no_status = os.path.join(folder, "no-status.xml")
    write(no_status, "<config/>")

    def snapshot_text(age, connected):
        return ("zelk_status_write_time_seconds %d\n"
                'zelk_app_connected{app="a.exe",index="0",endpoint="127.0.0.1:7001"} %d\n'
                % (time.time() - age, connected))

    cases = [
        (0, ["--config", tool.path(config)], snapshot_text(0, 1), "OK: 1 application connected"),
        (2, ["--file", tool.path(snapshot)], snapshot_text(100, 1), "CRITICAL: snapshot written"),
        (3, ["--file", tool.path(missing)], None, "zelkctl: cannot read %s: " % tool.path(missing)),
        (3, ["--config", tool.path(no_status)], None, "has no <status folder=\"...\"/> element"),
        # What it means and what to do, with the system's own service command.
        (3, ["--file", tool.path(missing)], None, "not written its status snapshot (yet): is the "
         "service running? `%s`" % ("sc query ZELK_Daemon" if tool.wine else
                                    "systemctl status zelk-daemon")),
        (3, ["--config", tool.path(no_status)], None, "to config.xml and restart the service"),
    ]
    for code, args, text, said in cases:
        if text is not None:
            write(snapshot, text)
        rc, out, err = run(tool, "status", *args)
        assert rc == code and said in out + err, (args, rc, out, err)
        assert code != 3 or (out == "" and len(err.strip().splitlines()) == 1), (out, err)
    os.remove(snapshot)

    # The watch shows the missing snapshot, then the one that appears, and
    # ends at a key with the code of its last picture.
    watch = Watch(tool, "--config", tool.path(config))
    seen = watch.wait_for("UNKNOWN: cannot read")
    write(snapshot, snapshot_text(0, 1))
    watch.wait_for("OK: 1 application connected", seen)
    watch.process.stdin.write(b"q")
    watch.process.stdin.flush()
    assert watch.finish() == 0, watch.text()
    assert "press a key or Ctrl-C to stop" in watch.text()
    if not tool.wine:
        write(snapshot, snapshot_text(0, 0))
        watch = Watch(tool, "--file", tool.path(snapshot))
        watch.wait_for("WARNING")
        watch.process.send_signal(signal.SIGINT)
        assert watch.finish() == 1, watch.text()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelkctl", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    tool = ToolProcess(args.zelkctl, args.wine)
    folder = tempfile.mkdtemp(prefix="zelkctl_")
    try:
        check_help_and_errors(tool)
        check_check(tool, os.path.join(folder, "check"))
        check_paths(tool, os.path.join(folder, "paths"))
        check_status(tool, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("zelkctl smoke: 4 passed")


if __name__ == "__main__":
    sys.exit(main())
