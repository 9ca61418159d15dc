"""The application must see its old connection closed at every "goto loop",
at once, while the supervisor waits in the console's "pause" and a program it
launched is alive: an application that serves one connection at a time
otherwise never serves the new one. The supervisor driver runs with shortened
waits; the peer accepts and stays silent (connect time-out cycle, twice),
then sends one handshake and falls silent (receive time-out cycle), and
finally resets every connection at once (failed reads, never silence).

The new connection of each cycle follows the close of the old one at once,
so its accept is the clock: the old connection must read as closed within a
second of it."""

import os
import socket
import sys
import time

from zelk_testing.watchdog import (DriverRun, Peer, copy_stand_in, driver_arguments, failure_lines,
                              kill_native_processes, wait_for_file)

WAIT_MS = 50
SLEEP_MS = 20
CLOSE_WITHIN_S = 1.0
HANDSHAKE = b'<?xml version="1.0"?><handshake>alive</handshake>'


def expect_closed(connection, what):
    """Fails unless the peer side of `connection` reads end-of-file (or a
    reset) within CLOSE_WITHIN_S."""
    connection.settimeout(CLOSE_WITHIN_S)
    try:
        data = connection.recv(1)
    except socket.timeout:
        raise AssertionError("%s: the old connection was still open %.1f s after the new one"
                             % (what, CLOSE_WITHIN_S))
    except ConnectionResetError:
        data = b""
    assert data == b"", "%s: the watchdog sent %r" % (what, data)
    connection.close()


def main():
    args = driver_arguments(("--stand-in", {"required": True}))

    run = DriverRun(args.driver, args.wine, WAIT_MS, SLEEP_MS)
    peer = Peer()
    app = copy_stand_in(args.stand_in, run.folder, "zelk_rc_app")
    name = os.path.basename(app)
    marker = os.path.join(run.folder, "launched.txt")
    command = '"%s" "%s" 120' % (run.native_path(app), run.native_path(marker))
    try:
        run.write_config([(name, command, peer.port)])
        run.start()
        old = peer.accept(30)
        for cycle in (1, 2):
            # Silent while connecting: terminate (nothing, then the program
            # launched in the cycle before), launch, goto loop.
            wait_for_file(marker, 30)
            new = peer.accept(30)
            expect_closed(old, "connect time-out cycle %d" % cycle)
            os.remove(marker)
            old = new
        old.sendall(HANDSHAKE)
        run.wait_for(name + " ==> Recv data ok!", 30)
        # Silent once connected: terminate at 30 waits, launch at 45, goto loop at 60.
        wait_for_file(marker, 30)
        new = peer.accept(30)
        expect_closed(old, "receive time-out cycle")

        # A reset is a failed read, not silence: one failure line per read,
        # and the 31st replaces the socket. Natively the reset comes before
        # the first wait. Wine notices a completed connect only a moment
        # later, and takes a reset before that for a failed connect (never
        # readable), so there the reset waits a little.
        if args.wine:
            time.sleep(0.3)
        peer.reset(new)
        peer.reset(peer.accept(30))

        run.press_key()
        run.wait_for("thead exit", 30)
        assert run.wait_exit(30) == 0
        messages = run.thread_messages()
        assert messages.count("connect time out, goto loop") >= 2, messages
        start = messages.index("recv data time out, goto loop") + 1
        if args.wine:
            while "CONNECTING" in messages[start]:
                start += 1
        expected = failure_lines(name)
        assert messages[start:start + len(expected)] == expected, messages[start:]
        print("watchdog reconnect: the old connection closed at every goto loop")
    finally:
        if not args.wine:
            kill_native_processes(name)
        peer.close()
        run.cleanup()


if __name__ == "__main__":
    sys.exit(main())
