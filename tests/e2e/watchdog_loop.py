"""The watchdog against a loopback peer with shortened waits: connect and
receive, the peer closes and the failed reads are counted (the application is
terminated at the 11th, launched at the 20th, the socket replaced at the
31st), then a peer that accepts and stays silent (terminated at the 10th
silent wait, launched at the 20th, reconnected at the 30th), data again, and a
train message whose result files do not match (the uninstall command runs)
followed by five handshakes (the install command runs), and a stop after
which "Thread exit!" is the thread's last line."""

import os
import subprocess
import sys

from zelk_testing.watchdog import (DriverRun, Peer, copy_stand_in, driver_arguments, failure_lines,
                              kill_native_processes, wait_for_file)

WAIT_MS = 50
SLEEP_MS = 20
HANDSHAKE = b'<?xml version="1.0"?><handshake>alive</handshake>'
TRAIN_KEY = "20261208100000"
TRAIN = (b'<?xml version="1.0"?><train><time>2026-12-08 10:00:00</time>'
         b'<vagen id="1"><serial>S1</serial></vagen><vagen id="2"/></train>')


def sub_app(run, wine):
    """A sub-application whose commands leave marker files, and result folders
    holding three pictures but one XML file of the train: a mismatch."""
    folder = run.folder
    pictures = os.path.join(folder, "pic", TRAIN_KEY)
    os.makedirs(pictures)
    for i in range(3):
        open(os.path.join(pictures, "%dL001.jpg" % i), "w").close()
    os.makedirs(os.path.join(folder, "xml"))
    open(os.path.join(folder, "xml", TRAIN_KEY + "_L001.xml"), "w").close()
    commands = {}
    for kind in ("start", "stop"):
        marker = os.path.join(folder, kind + "_command.txt")
        if wine:
            script = os.path.join(folder, kind + ".bat")
            with open(script, "w") as f:
                f.write("@echo %s> \"%s\"\r\n" % (kind, run.native_path(marker)))
            commands[kind] = run.native_path(script)
        else:
            commands[kind] = "touch '%s'" % marker
    return {"name": "zelk_sub", "startPath": commands["start"], "stopPath": commands["stop"],
            "picMonitor": run.native_path(os.path.join(folder, "pic")),
            "fileMonitor": run.native_path(os.path.join(folder, "xml"))}


def connecting_lines(name):
    lines = []
    for before in range(30):
        lines.append("%s CONNECTING 127.0.0.1 %dcount" % (name, before))
        if before == 9:
            lines.append("connect time out, try close process:%s" % name)
        if before == 19:
            lines.append("connect time out, try open process:%s" % name)
        if before == 29:
            lines.append("connect time out, goto loop")
    return lines


def main():
    args = driver_arguments(("--stand-in", {"required": True}))

    run = DriverRun(args.driver, args.wine, WAIT_MS, SLEEP_MS)
    peer = Peer()
    first = None
    app = copy_stand_in(args.stand_in, run.folder, "zelk_wd_app")
    name = os.path.basename(app)
    marker = os.path.join(run.folder, "launched.txt")
    command = '"%s" "%s" 30' % (run.native_path(app), run.native_path(marker))
    try:
        run.write_config([(name, command, peer.port)], sub_app(run, args.wine))
        # An instance of the application already runs: the first close must end it.
        env = dict(os.environ, WINEDEBUG="-all")
        first = subprocess.Popen((["wine"] if args.wine else []) +
                                 [app, run.native_path(os.path.join(run.folder, "first.txt")), "30"],
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, env=env)
        wait_for_file(os.path.join(run.folder, "first.txt"), 30)

        run.start()
        connection = peer.accept(30)
        connection.sendall(HANDSHAKE)
        at = run.wait_for(name + " ==> Recv data ok!", 30)
        connection.close()

        at = run.wait_for("Terminate Process:" + name, 30, at)
        first.wait(15)
        at = run.wait_for("CreateProcess:" + command, 30, at)
        wait_for_file(marker, 30)
        os.remove(marker)

        # The 31st failure replaces the socket. This peer accepts and stays silent.
        silent = peer.accept(30)
        at = run.wait_for("Terminate Process:" + name, 30, at)
        at = run.wait_for("CreateProcess:" + command, 30, at)
        wait_for_file(marker, 30)

        third = peer.accept(30)
        silent.close()
        third.sendall(HANDSHAKE)
        at = run.wait_for(name + " ==> Recv data ok!", 30, at)

        # A train whose files do not match, then five handshakes, one per read.
        third.sendall(TRAIN)
        at = run.wait_for(name + " ==> recv:" + TRAIN_KEY, 30, at)
        at = run.wait_for("uninstall zlek services!", 30, at)
        for _ in range(5):
            third.sendall(HANDSHAKE)
            at = run.wait_for(name + " ==> Recv data ok!", 30, at)
        at = run.wait_for("install zlek services!", 30, at)
        wait_for_file(os.path.join(run.folder, "stop_command.txt"), 30)
        wait_for_file(os.path.join(run.folder, "start_command.txt"), 30)

        run.press_key()
        run.wait_for("thead exit", 30)
        rc = run.wait_exit(30)
        third.close()
        assert rc == 0, "exit code %d" % rc

        messages = run.thread_messages()
        start = messages.index("%s recv data failure 0" % name)
        expected = failure_lines(name) + connecting_lines(name)
        got = messages[start:start + len(expected)]
        assert got == expected, "watchdog lines:\n%s" % "\n".join(
            "%-60s | %s" % pair for pair in zip(got, expected))
        assert all("CONNECTING" in m for m in messages[:start]), messages[:start]
        tail = messages[start + len(expected):]
        assert tail[-1] == "Thread exit!", tail
        train = ["%s recv train date:%s" % (name, TRAIN_KEY),
                 "%s find pic count:3 != find file count:1" % name,
                 "uninstall:zelk_sub cmd:", "install:zelk_sub cmd:"]
        assert [m for m in tail if "CONNECTING" not in m] == train + ["Thread exit!"], tail
        assert messages.count("Thread exit!") == 1

        lines = run.log_lines()
        closes = [m for (_l, f, _c, m) in lines if f == "CDaemon::CloseExe"]
        opens = [m for (_l, f, _c, m) in lines if f == "CDaemon::OpenExe"]
        assert closes == ["Terminate Process success:" + name] * 2, closes
        assert opens == ["WTSGetActiveConsoleSessionId", "Create Process success:" + command] * 2, opens
        fatal = [m for (level, f, _c, m) in lines if level != "TRACE"]
        assert fatal == train[1:], fatal
        print("watchdog loop: 1 passed, 0 failed")
    finally:
        if first is not None and first.poll() is None:
            first.kill()
        if not args.wine:
            kill_native_processes(name)
        peer.close()
        run.cleanup()


if __name__ == "__main__":
    sys.exit(main())
