"""A loopback peer plays the supervised application: it accepts the daemon's
watchdog connection and sends a train whose result files do not match (three
pictures, one XML file). The daemon must run the uninstall command (a script
that writes a marker), then the install command with the fifth handshake
after it, not before."""

import argparse
import os
import socket
import stat
import time

from zelk_testing.harness import DaemonRun

TRAIN_TIME = "2026-12-08 10:00:00"
TRAIN_KEY = "20261208100000"
HANDSHAKE = b'<?xml version="1.0"?><handshake>alive</handshake>'


def native_path(path, wine):
    """The path as the daemon sees it: Wine maps the Unix root to Z:."""
    return "Z:" + path.replace("/", "\\") if wine else path


def write_script(folder, name, marker, wine):
    if wine:
        path = os.path.join(folder, name + ".bat")
        with open(path, "w", newline="") as f:
            f.write('@echo off\r\necho ran> "%s"\r\n' % native_path(marker, True))
    else:
        path = os.path.join(folder, name + ".sh")
        with open(path, "w") as f:
            f.write("#!/bin/sh\necho ran > '%s.tmp' && mv '%s.tmp' '%s'\n" % (marker, marker, marker))
        os.chmod(path, stat.S_IRWXU)
    return native_path(path, wine)


def wait_for_file(path, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path):
            return True
        time.sleep(0.05)
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    wine = args.wine
    sep = "\\" if wine else "/"

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    port = listener.getsockname()[1]

    run = DaemonRun(args.exe, wine=wine)
    work = run.folder
    pictures = os.path.join(work, "pic")
    results = os.path.join(work, "xml")
    os.makedirs(os.path.join(pictures, TRAIN_KEY))
    os.makedirs(results)
    for i in range(3):
        open(os.path.join(pictures, TRAIN_KEY, "%dL001.jpg" % i), "w").close()
    open(os.path.join(results, TRAIN_KEY + "_L001.xml"), "w").close()
    uninstall_marker = os.path.join(work, "uninstalled.txt")
    install_marker = os.path.join(work, "installed.txt")
    stop_path = write_script(work, "uninstall", uninstall_marker, wine)
    start_path = write_script(work, "install", install_marker, wine)

    with open(os.path.join(work, "config.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<config>\n'
                ' <app name="zelk_no_such_app.exe" path="%s">\n'
                '  <socket ip="127.0.0.1" port="%d"/>\n'
                '  <subApp name="zlek" startPath="%s" stopPath="%s">\n'
                '   <fileMonitor>%s</fileMonitor>\n'
                '   <picMonitor>%s</picMonitor>\n'
                '  </subApp>\n </app>\n</config>\n'
                % (native_path(os.path.join(work, "zelk_no_such_app.exe"), wine), port,
                   start_path, stop_path, native_path(results, wine) + sep,
                   native_path(pictures, wine)))

    try:
        run.start()
        listener.settimeout(60 if wine else 20)
        peer, _ = listener.accept()
        train = ('<?xml version="1.0"?><train><time>%s</time>'
                 '<vagen id="1"><serial>S-1</serial></vagen>'
                 '<vagen id="2"><serial>S-2</serial></vagen></train>' % TRAIN_TIME)
        peer.sendall(train.encode())
        assert wait_for_file(uninstall_marker, 20), "uninstall command did not run:\n" + run.text()
        run.wait_for("uninstall zlek services!", 5)

        # One message per read: pause so that every handshake is a read of its own.
        for i in range(4):
            peer.sendall(HANDSHAKE)
            time.sleep(0.5)
        time.sleep(1.0)
        assert not os.path.exists(install_marker), "install ran before the fifth handshake"
        peer.sendall(HANDSHAKE)
        assert wait_for_file(install_marker, 20), "install command did not run:\n" + run.text()
        run.wait_for("install zlek services!", 5)

        # Further handshakes run nothing more.
        os.remove(install_marker)
        for i in range(6):
            peer.sendall(HANDSHAKE)
            time.sleep(0.3)
        time.sleep(1.0)
        assert not os.path.exists(install_marker), "install ran twice"

        run.press_key()
        run.press_key()
        rc = run.wait_exit(30)
        assert rc == 0, "exit code %d" % rc
        messages = [(level, function, message) for (level, function, _c, message) in run.log_lines()]
        expected = [
            ("TRACE", "CDaemon::DaemonThread", "zelk_no_such_app.exe recv train date:" + TRAIN_KEY),
            ("FATAL", "CDaemon::DaemonThread",
             "zelk_no_such_app.exe find pic count:3 != find file count:1"),
            ("FATAL", "CDaemon::DaemonThread", "uninstall:zlek cmd:"),
            ("FATAL", "CDaemon::DaemonThread", "install:zlek cmd:"),
        ]
        got = [m for m in messages if m[1] == "CDaemon::DaemonThread" and
               (m[0] == "FATAL" or "recv train" in m[2])]
        assert got == expected, "log lines:\n%s" % "\n".join(map(str, messages))
        peer.close()
        print("train commands: 1 passed, 0 failed")
    finally:
        run.cleanup()
        listener.close()


if __name__ == "__main__":
    main()
