"""Clients that misbehave on the control channel hold up nothing else: while
one watchdog reads a simulated application, clients that connect and send
nothing, send a line over the cap, send garbage or half a line are answered
or dropped, an honest client's request is answered at once beside them and
within a bound when they fill every place, the watchdog keeps its rhythm,
and the daemon stops promptly with them still connected. Linux: the console
channel is a socket file in the daemon's folder; the pipe's clients are
tested in the platform's own tests."""

import json
import os
import socket
import sys
import time

from zelk_testing.sim import SimSetup, parse_args

CAP_BYTES = 64 * 1024
MAX_CLIENTS = 16   # served at once; later clients wait in the listen backlog
READ_TIMEOUT_S = 2  # for a client's line


def connect(path):
    client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    client.settimeout(10)
    client.connect(path)
    return client


def answer_of(client):
    """The answer line, or None when the daemon closed without one."""
    data = b""
    while not data.endswith(b"\n"):
        chunk = client.recv(4096)
        if not chunk:
            return None
        data += chunk
    return json.loads(data)


def ask_status(path):
    """An honest request: its answer and the seconds it took."""
    started = time.monotonic()
    with connect(path) as client:
        client.sendall(b'{"v":1,"op":"status"}\n')
        answer = answer_of(client)
    return answer, time.monotonic() - started


def hostile(path, count):
    """`count` clients of each kind; the answers of those that get one."""
    silent = [connect(path) for _ in range(count)]
    half = [connect(path) for _ in range(count)]
    for client in half:
        client.sendall(b'{"v":1,"op":"sta')
    oversized = [connect(path) for _ in range(count)]
    for client in oversized:
        try:
            client.sendall(b"x" * (CAP_BYTES + 1))
        except OSError:
            pass  # dropped while it still sent: as good as an answer
    garbage = [connect(path) for _ in range(count)]
    for client in garbage:
        client.sendall(b"\x00\xff{not json]\n")
    return silent + half, oversized, garbage


def main():
    args = parse_args()
    if args.wine:
        print("control hostile: skipped under Wine (the pipe's clients: tests/platform)")
        return 0
    with SimSetup(args.exe, args.sim, args.wine) as setup:
        app = setup.add_app("hostile", ["--handshake-interval", "1", "--train-interval", "0"])
        setup.start()
        setup.run.wait_for("%s ==> Recv data ok!" % app.exe_name, 30)
        path = os.path.join(setup.run.folder, "control.sock")
        received = setup.run.text().count("Recv data ok!")

        # A few of each kind, under the cap of clients served at once.
        idle, oversized, garbage = hostile(path, 3)
        answer, took = ask_status(path)
        assert answer and answer["ok"], answer
        assert took < 1, "answered after %.1f s beside 12 hostile clients" % took
        for client in garbage:
            answer = answer_of(client)
            assert answer and not answer["ok"] and answer["error"], answer
        for client in oversized:
            try:
                answer = answer_of(client)
            except OSError:
                answer = None
            assert answer is None or answer["error"] == "too_long", answer
        # Silent and half-line clients are dropped at their deadline (or
        # refused), never left hanging.
        for client in idle:
            client.settimeout(READ_TIMEOUT_S + 3)
            answer = answer_of(client)  # a timeout here fails the test
            assert answer is None or not answer["ok"], answer
            client.close()

        # More silent clients than places: the honest one waits for the
        # first of them to be dropped, no longer.
        crowd = [connect(path) for _ in range(2 * MAX_CLIENTS)]
        answer, waited = ask_status(path)
        assert answer and answer["ok"], answer
        assert waited < 3 * READ_TIMEOUT_S + 2, "answered after %.1f s behind a crowd" % waited

        # The watchdog read on all along: a handshake a second.
        assert setup.run.text().count("Recv data ok!") >= received + 3, setup.run.text()
        assert "recv data time out" not in setup.log_text(), setup.log_text()

        # The stop is not held up by clients still connected.
        more, _, _ = hostile(path, 3)
        took = setup.stop_daemon(15)
        assert took < 8, "stopped after %.1f s with clients connected" % took
        for client in crowd + more + oversized + garbage:
            client.close()
        print("control hostile: answered in %.2f s behind %d silent clients; stopped in %.1f s"
              % (waited, 2 * MAX_CLIENTS, took))
    return 0


if __name__ == "__main__":
    sys.exit(main())
