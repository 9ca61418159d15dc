"""The Debian package: lintian finds no error and no fault with the manual
page of zelkctl, its contents and conffiles are the listed ones, and on this
machine (as root) dpkg -i installs it so that /opt/zelk/ZELK_Daemon, run in
console mode, reads the configuration through its link and logs under
/var/log/zelk, and zelkctl, started through its link in /usr/bin, checks
that configuration; right after the installation, with the packaged
configuration, zelkctl status answers from the snapshot in the node
exporter's textfile folder, and the monitoring bundle is in the
documentation; a second dpkg -i keeps the changed /etc/zelk/config.xml,
dpkg -r keeps it and the log and deletes the snapshot, dpkg --purge removes
everything. The test refuses to run where any of it exists already, and
purges what it installed however it ends.

  deb_install.py --deb build/package/zelk-daemon_<version>_amd64.deb --build build/release-linux"""

import glob
import os
import re
import subprocess
import sys
import time

from zelk_testing.packages import arguments, project_version, run, was_built

PACKAGE = "zelk-daemon"
# Everything the package places, and what its scripts make, outside dpkg's
# own records.
OWN_PATHS = ["/opt/zelk", "/etc/zelk", "/var/log/zelk", "/usr/bin/zelkctl",
             "/lib/systemd/system/zelk-daemon.service", "/usr/share/doc/zelk-daemon",
             "/usr/share/lintian/overrides/zelk-daemon", "/usr/share/man/man1/zelkctl.1.gz"]
# The status snapshot of the packaged config.xml, where Debian's node
# exporter reads textfiles.
STATUS_FOLDER = "/var/lib/prometheus/node-exporter"
SNAPSHOT = STATUS_FOLDER + "/zelk.prom"
OWN_PATHS.append(SNAPSHOT)
MONITORING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "monitoring")
MONITORING_FILES = ["README.md", "zelk.rules.yml", "zelk-dashboard.json"]
# Where deb-systemd-helper keeps the unit's enablement and masks.
SYSTEMD_STATE = ["/etc/systemd/system", "/var/lib/systemd"]
CONFIG = "/etc/zelk/config.xml"
CHANGED_CONFIG = (b'<config><app name="zelk_package_test.exe" '
                  b'path="/nonexistent/zelk_package_test"><socket ip="127.0.0.1" port="9"/>'
                  b'</app></config>\n')


def dpkg(*args):
    """dpkg, waiting while another dpkg or apt holds the lock."""
    deadline = time.monotonic() + 300
    while True:
        rc, text = run(["dpkg"] + list(args), check=False,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        if rc == 0 or "lock" not in text or time.monotonic() > deadline:
            assert rc == 0, "dpkg %s: rc %d\n%s" % (" ".join(args), rc, text)
            return text
        time.sleep(2)


def status():
    rc, text = run(["dpkg-query", "-W", "-f=${db:Status-Status}", PACKAGE], check=False)
    return text.strip() if rc == 0 else "not-installed"


def systemd_traces():
    """The files of the unit's name that deb-systemd-helper keeps."""
    found = []
    for top in SYSTEMD_STATE:
        for folder, _dirs, files in os.walk(top):
            found += [os.path.join(folder, f) for f in files if "zelk" in f]
    return sorted(found)


def check_contents(deb, version, with_zelkctl):
    rc, text = run(["lintian", "--fail-on", "error", deb], check=False)
    assert rc == 0 and "\nE: " not in "\n" + text, "lintian:\n" + text
    # zelkctl, in the PATH, has its manual page, and the page reads cleanly.
    assert "no-manual-page" not in text and "manpage" not in text, "lintian:\n" + text
    _rc, listing = run(["dpkg-deb", "--contents", deb])
    entries = set()
    for line in listing.splitlines():
        mode, owner, _size, _date, _time, name = line.split(None, 5)
        assert owner == "root/root", line
        if not mode.startswith("d"):
            entries.add((mode, name))
    expected = {
        ("-rwxr-xr-x", "./opt/zelk/ZELK_Daemon"),
        ("lrwxrwxrwx", "./opt/zelk/config.xml -> /etc/zelk/config.xml"),
        ("lrwxrwxrwx", "./opt/zelk/ZELK_LOG -> /var/log/zelk"),
        ("-rw-r--r--", "./etc/zelk/config.xml"),
        ("-rw-r--r--", "./lib/systemd/system/zelk-daemon.service"),
        ("-rw-r--r--", "./usr/share/doc/zelk-daemon/copyright"),
        ("-rw-r--r--", "./usr/share/doc/zelk-daemon/changelog.gz"),
        ("-rw-r--r--", "./usr/share/lintian/overrides/zelk-daemon"),
    }
    expected |= {("-rw-r--r--", "./usr/share/doc/zelk-daemon/monitoring/" + name)
                 for name in MONITORING_FILES}
    if with_zelkctl:
        expected.add(("-rwxr-xr-x", "./opt/zelk/zelkctl"))
        expected.add(("lrwxrwxrwx", "./usr/bin/zelkctl -> /opt/zelk/zelkctl"))
        expected.add(("-rw-r--r--", "./usr/share/man/man1/zelkctl.1.gz"))
    assert entries == expected, "contents:\n%s" % "\n".join(sorted(map(str, entries ^ expected)))
    assert run(["dpkg-deb", "--info", deb, "conffiles"])[1].split() == [CONFIG]
    assert run(["dpkg-deb", "--field", deb, "Version"])[1].strip() == version


def check_zelkctl():
    """zelkctl, started through its link in /usr/bin, checks the config.xml
    beside its executable: /opt/zelk/config.xml, the link to the conffile."""
    rc, output = run(["/usr/bin/zelkctl", "check"], check=False, cwd="/")
    assert rc == 1 and "config.xml: /opt/zelk/config.xml" in output, (rc, output)
    assert 'path "/nonexistent/zelk_package_test": program not found' in output, output
    rc, output = run(["/usr/bin/zelkctl", "status"], check=False, cwd="/")
    assert rc == 3 and "/opt/zelk/config.xml has no <status" in output, (rc, output)
    # Its manual page says what its help says: every command, and the exit
    # codes of status as the tool gives them.
    _rc, page = run(["man", "-l", "/usr/share/man/man1/zelkctl.1.gz"],
                    env=dict(os.environ, MANWIDTH="200", MANPAGER="cat"))
    page = re.sub(".\b", "", page)
    _rc, top = run(["/usr/bin/zelkctl", "--help"])
    for command in ("status", "check", "history", "timeline"):
        assert command + " [" in top and "\n   " + command + "\n" in page, (command, page)
    _rc, status = run(["/usr/bin/zelkctl", "status", "--help"])
    exit_two = re.search(r"\n  2  (.*?)\n  3", status, re.S).group(1)
    assert " ".join(exit_two.split()) in " ".join(page.split()), page


def check_control():
    """The installed zelkctl controls the installed daemon, run in console
    mode, through the channel of its folder: a pause, a resume and a dry run
    of a reload. The daemon stops at a key, and once more at the end."""
    env = {k: v for k, v in os.environ.items() if k != "NOTIFY_SOCKET"}
    daemon = subprocess.Popen(["/opt/zelk/ZELK_Daemon"], cwd="/", env=env,
                              stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        pause = ["/usr/bin/zelkctl", "pause", "zelk_package_test.exe", "--reason", "package"]
        deadline = time.monotonic() + 15
        rc, output = run(pause, check=False, cwd="/")
        while rc == 2 and time.monotonic() < deadline:  # no daemon answers yet
            time.sleep(0.3)
            rc, output = run(pause, check=False, cwd="/")
        assert rc == 0 and "zelk_package_test.exe" in output, (rc, output)
        rc, output = run(["/usr/bin/zelkctl", "resume", "zelk_package_test.exe"], check=False, cwd="/")
        assert rc == 0, (rc, output)
        rc, output = run(["/usr/bin/zelkctl", "reload", "--dry-run"], check=False, cwd="/")
        assert rc == 0 and "no change" in output, (rc, output)
    finally:
        daemon.communicate(b"\n\n", timeout=60)
    assert not os.path.lexists("/opt/zelk/control.state"), "a resumed pause is not kept"


def check_out_of_the_box(with_zelkctl):
    """Right after the installation, as packaged: the configuration names
    the node exporter's textfile folder for the status, the monitoring
    bundle is the tree's, and zelkctl status answers from the snapshot the
    daemon wrote there (the unit's, where systemd runs; else that of one
    run in console mode, which writes one at its start and at its stop)."""
    sample = open(os.path.join(MONITORING, "..", "packaging", "linux", "config.xml"), "rb").read()
    assert open(CONFIG, "rb").read() == sample
    assert b'<status folder="%s"/>' % STATUS_FOLDER.encode() in sample
    for name in MONITORING_FILES:
        installed = "/usr/share/doc/zelk-daemon/monitoring/" + name
        assert open(installed, "rb").read() == open(os.path.join(MONITORING, name), "rb").read(), name
    if not os.path.isdir("/run/systemd/system"):
        env = {k: v for k, v in os.environ.items() if k != "NOTIFY_SOCKET"}
        run(["/opt/zelk/ZELK_Daemon"], cwd="/", env=env)
    deadline = time.monotonic() + 15
    while not os.path.exists(SNAPSHOT):
        assert time.monotonic() < deadline, "no status snapshot %s" % SNAPSHOT
        time.sleep(0.2)
    if with_zelkctl:
        rc, output = run(["/usr/bin/zelkctl", "status"], check=False, cwd="/")
        assert rc != 3 and SNAPSHOT in output, (rc, output)


def main():
    deb, build = arguments("--deb")
    started = time.monotonic()

    with_zelkctl = was_built(build, "zelkctl")
    check_contents(deb, project_version(build), with_zelkctl)

    assert os.geteuid() == 0, "installing the package needs root"
    present = [p for p in OWN_PATHS if os.path.lexists(p)]
    assert status() == "not-installed" and not present, (
        "refusing to install: %s is %s here, and %s exist; remove them first"
        % (PACKAGE, status(), ", ".join(present) or "no files of it"))
    traces_before = systemd_traces()
    # The daemon makes the status folder where the node exporter is not
    # installed; the test takes away what it made.
    made_folders = [f for f in (os.path.dirname(STATUS_FOLDER), STATUS_FOLDER) if not os.path.isdir(f)]
    try:
        dpkg("-i", deb)
        assert os.path.isdir("/var/log/zelk") and os.path.islink("/opt/zelk/ZELK_LOG")
        wants = "/etc/systemd/system/multi-user.target.wants/zelk-daemon.service"
        assert os.readlink(wants) == "/lib/systemd/system/zelk-daemon.service", "unit not enabled"
        check_out_of_the_box(with_zelkctl)
        with open(CONFIG, "wb") as f:
            f.write(CHANGED_CONFIG)

        # Console mode (no NOTIFY_SOCKET), from another folder: the
        # configured application's watchdog thread runs, so the file was read
        # through /opt/zelk/config.xml; the log lands in /var/log/zelk.
        env = {k: v for k, v in os.environ.items() if k != "NOTIFY_SOCKET"}
        _rc, output = run(["/opt/zelk/ZELK_Daemon"], cwd="/", env=env)
        assert "=======================start=====================" in output, output
        logs = glob.glob("/var/log/zelk/ZELK_LOG_*.log")
        log = b"".join(open(p, "rb").read() for p in logs).decode("latin-1")
        assert "Start Server!" in log and log.count("Thread exit!") == 1, log
        assert "zelk_package_test.exe" in log, log
        assert os.path.islink("/opt/zelk/ZELK_LOG"), "the daemon replaced its log link"
        if with_zelkctl:
            check_zelkctl()
            check_control()

        # The same version again keeps the changed conffile, without a copy
        # of the packaged one beside it.
        dpkg("-i", deb)
        assert open(CONFIG, "rb").read() == CHANGED_CONFIG
        assert glob.glob(CONFIG + ".dpkg-*") == [], glob.glob(CONFIG + ".dpkg-*")

        # Removal keeps configuration and logs; purge removes them.
        dpkg("-r", PACKAGE)
        assert status() == "config-files", status()
        assert not os.path.lexists("/opt/zelk") and not os.path.lexists("/usr/bin/zelkctl")
        assert open(CONFIG, "rb").read() == CHANGED_CONFIG
        # The event journal of the packaged config.xml stays with the logs.
        kept = [p for p in glob.glob("/var/log/zelk/*") if p != "/var/log/zelk/journal"]
        assert sorted(kept) == sorted(logs)
        assert not os.path.lexists(SNAPSHOT), "the status snapshot outlived the removal"
        dpkg("--purge", PACKAGE)
        assert status() == "not-installed", status()
        left = [p for p in OWN_PATHS if os.path.lexists(p)]
        assert left == [] and systemd_traces() == traces_before, (left, systemd_traces())
    finally:
        if status() != "not-installed":
            subprocess.run(["dpkg", "--purge", PACKAGE], stdin=subprocess.DEVNULL, timeout=300)
        for folder in reversed(made_folders):
            if os.path.isdir(folder) and not os.listdir(folder):
                os.rmdir(folder)
    print("Debian package: 1 passed, 0 failed (%.1f s)" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
