"""The watchdog against a loopback peer with shortened waits: connect and
receive, the peer closes and the failed reads are counted (the application is
terminated at the 11th, launched at the 20th, the socket replaced at the
31st), then a peer that accepts and stays silent (terminated at the 10th
silent wait, launched at the 20th, reconnected at the 30th), data again, and a
stop after which "Thread exit!" is the thread's last line."""

import argparse
import os
import subprocess
import sys

from watchdog_support import DriverRun, Peer, copy_stand_in, kill_native_processes, wait_for_file

WAIT_MS = 50
SLEEP_MS = 20
HANDSHAKE = b'<?xml version="1.0"?><handshake>alive</handshake>'


def failure_lines(name):
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
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--driver", required=True)
    parser.add_argument("--stand-in", required=True)
    args = parser.parse_args()

    run = DriverRun(args.driver, args.wine, WAIT_MS, SLEEP_MS)
    peer = Peer()
    first = None
    app = copy_stand_in(args.stand_in, run.folder, "zelk_wd_app")
    name = os.path.basename(app)
    marker = os.path.join(run.folder, "launched.txt")
    command = '"%s" "%s" 30' % (run.native_path(app), run.native_path(marker))
    try:
        run.write_config([(name, command, peer.port)])
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
        run.wait_for(name + " ==> Recv data ok!", 30, at)

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
        assert all("CONNECTING" in m for m in tail[:-1]), tail
        assert messages.count("Thread exit!") == 1

        lines = run.log_lines()
        closes = [m for (_l, f, _c, m) in lines if f == "CDaemon::CloseExe"]
        opens = [m for (_l, f, _c, m) in lines if f == "CDaemon::OpenExe"]
        assert closes == ["Terminate Process success:" + name] * 2, closes
        assert opens == ["WTSGetActiveConsoleSessionId", "Create Process success:" + command] * 2, opens
        assert all(level == "TRACE" for (level, f, _c, _m) in lines if f.startswith("CDaemon::"))
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
