"""The Windows Installer package under Wine, in a fresh prefix of its own:
its File table gives each program's version; msiexec /i installs the files
and the service, which runs and logs "ServiceStart out", registers the event
log's source with the message file beside the program, and zelkctl.exe
beside it checks the config.xml there and answers status from the snapshot
the service writes into the installed status folder; the monitoring bundle
is the tree's; the user's config.xml survives a major upgrade to a higher
version (built from the same programs) and the removal; after the removal
the service and the event source no longer exist, and the status folder is
gone with its snapshot.

  msi_wine.py --msi build/package/ZELK_Daemon-<version>-x64.msi --build build/release-windows"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from zelk_testing.packages import arguments, project_version, run, was_built

SERVICE = "ZELK_Daemon"
ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
MONITORING_FILES = ["README.md", "zelk.rules.yml", "zelk-dashboard.json"]
EVENT_SOURCE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\ZELK_Daemon"
MESSAGE_FILE = "ZELK_Daemon_messages.dll"
EDITED_CONFIG = b"<config>\r\n  <!-- edited by the administrator -->\r\n</config>\r\n"


class Prefix:
    """A new Wine prefix with a persistent server whose helper processes were
    started with their streams on /dev/null."""

    def __init__(self, folder):
        self.env = dict(os.environ, WINEPREFIX=os.path.join(folder, "prefix"), WINEDEBUG="-all")
        self.env.pop("TZ", None)  # msvcrt reads TZ in its own format
        self.drive_c = os.path.join(self.env["WINEPREFIX"], "drive_c")
        self.output = os.path.join(folder, "wine.out")

    def start(self):
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineboot", "-i"], env=self.env, timeout=300, **quiet)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300, **quiet)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60, **quiet)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, timeout=120, **quiet)

    def wine(self, *args, debug="-all"):
        """Runs a Wine program; its streams go to a file, which a process it
        leaves running cannot hold open as it could a pipe."""
        with open(self.output, "wb") as out:
            rc = subprocess.run(["wine"] + list(args), stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT, env=dict(self.env, WINEDEBUG=debug),
                                timeout=300).returncode
        with open(self.output, "rb") as out:
            return rc, out.read().decode("latin-1")

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def service_state(self):
        """The service's state name, or None when the service does not exist."""
        rc, text = self.wine("sc", "query", SERVICE)
        match = re.search(r"STATE\s*:\s*\d+\s+(\w+)", text)
        return match.group(1) if rc == 0 and match else None

    def wait_running(self):
        deadline = time.monotonic() + 30
        while self.service_state() != "RUNNING":
            assert time.monotonic() < deadline, "service not RUNNING: %s" % self.service_state()
            time.sleep(0.2)

    def registry(self, key):
        """{value name: data} of a key, or {} if it does not exist."""
        rc, text = self.wine("reg", "query", key)
        values = [re.match(r"\s+(\S+)\s+REG_\w+\s*(.*?)\s*$", line) for line in text.splitlines()]
        return {m.group(1): m.group(2) for m in values if m} if rc == 0 else {}

    def versions(self):
        """The version of every ZELK Daemon product registered for removal."""
        _rc, text = self.wine("reg", "query", UNINSTALL_KEY)
        keys = re.findall(r"^(HKEY_\S+\\Uninstall\\\S+)\s*$", text, re.M)
        found = [self.registry(key) for key in keys]
        return [v.get("DisplayVersion") for v in found if v.get("DisplayName") == "ZELK Daemon"]


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def install(prefix, msi, log=None, properties=()):
    args = ["msiexec", "/i", wine_path(msi), "/qn"] + list(properties)
    rc, text = prefix.wine(*args, debug="-all,trace+msi" if log else "-all")
    if log:
        with open(log, "w") as f:
            f.write(text)
    assert rc == 0, "msiexec /i %s: rc %d" % (msi, rc)


def check_file_versions(msi, version):
    """Every program and DLL in the File table carries the project's version,
    as its version resource gives it."""
    _rc, table = run(["msiinfo", "export", msi, "File"])
    rows = [line.split("\t") for line in table.splitlines()[3:]]
    versions = {row[2]: row[4] for row in rows}
    programs = {name: v for name, v in versions.items() if name.endswith((".exe", ".dll"))}
    assert programs and set(programs.values()) == {version + ".0"}, versions


def check_event_source(prefix, folder):
    """The event log's source ZELK_Daemon names the message file in `folder`
    (a Windows path) and the three event types."""
    values = prefix.registry(EVENT_SOURCE_KEY)
    assert values.get("EventMessageFile") == folder + "\\" + MESSAGE_FILE, values
    assert values.get("TypesSupported") == "0x7", values


def main():
    msi, build = arguments("--msi")
    version = project_version(build)
    major, minor, patch = version.split(".")
    higher = "%s.%s.%d" % (major, minor, int(patch) + 1)
    shipped = {"ZELK_Daemon.exe", "config.sample.xml", "status", "monitoring"}
    if was_built(build, "zelkctl.exe"):
        shipped.add("zelkctl.exe")
    if was_built(build, MESSAGE_FILE):
        shipped.add(MESSAGE_FILE)
    check_file_versions(msi, version)

    work = tempfile.mkdtemp(prefix="zelk_msi_", dir=os.path.join(ROOT, "build"))
    started = time.monotonic()
    prefix = Prefix(work)
    try:
        upgrade = os.path.join(work, "ZELK_Daemon-%s-x64.msi" % higher)
        run([os.path.join(ROOT, "packaging", "windows", "build-msi"), build, work, higher])
        prefix.start()
        print("prefix ready after %.1f s" % (time.monotonic() - started))
        folder = os.path.join(prefix.drive_c, "Program Files", "ZELK")
        config = os.path.join(folder, "config.xml")

        def listed(where):
            # The event journal the sample turns on is made once the service
            # has started; like ZELK_LOG, it is the station's and stays.
            return set(os.listdir(where)) - {"journal"}

        def log_text():
            files = sorted(glob.glob(os.path.join(folder, "ZELK_LOG", "*.log")))
            return b"".join(open(p, "rb").read() for p in files).decode("latin-1")

        # Install: the files, the service as registered, running, and logging.
        trace = os.path.join(work, "install-trace.txt")
        install(prefix, msi, trace)
        prefix.wait_running()
        assert listed(folder) == shipped | {"config.xml", "ZELK_LOG"}, os.listdir(folder)
        sample = open(os.path.join(ROOT, "packaging", "windows", "config.xml"), "rb").read()
        assert open(config, "rb").read() == sample.replace(b"\n", b"\r\n")
        service = prefix.registry(r"HKLM\System\CurrentControlSet\Services\%s" % SERVICE)
        assert service["Type"] == "0x10" and service["Start"] == "0x2", service
        assert service["ObjectName"] == "LocalSystem", service
        assert service["ImagePath"].strip('"') == r"C:\Program Files\ZELK\ZELK_Daemon.exe", service
        check_event_source(prefix, r"C:\Program Files\ZELK")
        deadline = time.monotonic() + 10
        while "ServiceStart out" not in log_text():
            assert time.monotonic() < deadline, "no ServiceStart out:\n" + log_text()
            time.sleep(0.2)
        if "zelkctl.exe" in shipped:
            # Beside the daemon, zelkctl checks the daemon's config.xml: the
            # sample, which names no application, a warning.
            rc, text = prefix.wine(r"C:\Program Files\ZELK\zelkctl.exe", "check")
            assert rc == 1 and r"config.xml: C:\Program Files\ZELK\config.xml" in text, text
            assert "names no application: nothing is watched" in text, text
            snapshot = os.path.join(folder, "status", "zelk.prom")
            deadline = time.monotonic() + 20
            while not os.path.exists(snapshot):
                assert time.monotonic() < deadline, "no status snapshot in %s" % snapshot
                time.sleep(0.2)
            rc, text = prefix.wine(r"C:\Program Files\ZELK\zelkctl.exe", "status")
            assert rc != 3 and r"C:\Program Files\ZELK\status\zelk.prom" in text, (rc, text)
            # The service answers on its pipe: a reload of a file that names
            # no application is refused by the daemon, with the finding.
            rc, text = prefix.wine(r"C:\Program Files\ZELK\zelkctl.exe", "reload", "--dry-run")
            assert rc == 1 and "config.xml not reloaded, nothing changed" in text, (rc, text)
        for name in MONITORING_FILES:
            installed = open(os.path.join(folder, "monitoring", name), "rb").read()
            assert installed == open(os.path.join(ROOT, "monitoring", name), "rb").read(), name
        # Wine's sc accepts the recovery actions without storing them, and
        # msiexec ignores the exit codes of the programs it runs: the trace
        # shows that sc ran with the arguments install.cmd gives it.
        cmd = open(os.path.join(ROOT, "packaging", "windows", "install.cmd")).read()
        actions = re.search(r'^sc failure "%SERVICE%" (.*)$', cmd, re.M).group(1)
        ran = re.findall(r'HANDLE_CustomType50 exe L"(.*?)" arg L"(.*?)"', open(trace).read())
        assert (r"C:\\windows\\system32\\sc.exe", "failure ZELK_Daemon " + actions) in ran, ran

        # A higher version over it: the old service stopped, the new one
        # started, the administrator's config.xml untouched, one product left.
        with open(config, "wb") as f:
            f.write(EDITED_CONFIG)
        install(prefix, upgrade)
        prefix.wait_running()
        assert open(config, "rb").read() == EDITED_CONFIG
        assert prefix.versions() == [higher], prefix.versions()
        lines = [line.split(" , ", 1)[-1] for line in log_text().splitlines()]
        assert lines.count("ServiceStart out") == 2 and "ServiceStop out" in lines, lines
        # The lower version is refused while the higher one stays.
        assert prefix.wine("msiexec", "/i", wine_path(msi), "/qn")[0] != 0
        assert prefix.versions() == [higher], prefix.versions()

        # Removal: service stopped and deleted, programs gone, config.xml
        # and the log kept.
        rc, _text = prefix.wine("msiexec", "/x", wine_path(upgrade), "/qn")
        assert rc == 0, "msiexec /x: rc %d" % rc
        assert prefix.service_state() is None, prefix.service_state()
        assert listed(folder) == {"config.xml", "ZELK_LOG"}, os.listdir(folder)
        assert open(config, "rb").read() == EDITED_CONFIG
        assert log_text().rstrip().endswith("ServiceStop out"), log_text()
        assert prefix.versions() == [], prefix.versions()
        assert prefix.wine("reg", "query", EVENT_SOURCE_KEY)[0] != 0, "event source left"

        # Installed elsewhere: the upgrade stays in that folder, the removal
        # finds the programs there.
        custom = os.path.join(prefix.drive_c, "ZELK elsewhere")
        install(prefix, msi, properties=[r"INSTALLDIR=C:\ZELK elsewhere"])
        install(prefix, upgrade)
        assert listed(custom) == shipped | {"config.xml", "ZELK_LOG"}, os.listdir(custom)
        assert listed(folder) == {"config.xml", "ZELK_LOG"}, os.listdir(folder)
        check_event_source(prefix, r"C:\ZELK elsewhere")
        assert prefix.wine("msiexec", "/x", wine_path(upgrade), "/qn")[0] == 0
        assert listed(custom) == {"config.xml", "ZELK_LOG"}, os.listdir(custom)
        assert prefix.wine("reg", "query", EVENT_SOURCE_KEY)[0] != 0, "event source left"
    finally:
        prefix.close()
        shutil.rmtree(work, ignore_errors=True)
    print("Windows Installer package under Wine: 1 passed, 0 failed (%.1f s)"
          % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
