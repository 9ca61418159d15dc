"""Runs the built trackside simulator (natively or under Wine): --help, a bad
option, a short healthy run read by a client on loopback with the result
files checked, and the fault modes: closing connections, garbage, never
sending and falling silent."""

import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from zelk_testing.tool_process import ToolProcess


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connect(port, timeout):
    deadline = time.monotonic() + timeout
    while True:
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=5)
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.2)


def read_until(conn, needles, timeout):
    data = b""
    deadline = time.monotonic() + timeout
    conn.settimeout(1)
    while not all(n in data for n in needles):
        assert time.monotonic() < deadline, "timed out; received %r" % data
        try:
            chunk = conn.recv(65536)
        except socket.timeout:
            continue
        assert chunk, "connection closed; received %r" % data
        data += chunk
    return data


def check_help_and_errors(sim):
    r = sim.run("--help")
    assert r.returncode == 0, r
    assert b"Usage: " in r.stdout and b"--silent-after" in r.stdout, r.stdout
    r = sim.run("--port", "nope")
    assert r.returncode == 2, r
    assert b"bad value for --port" in r.stderr, r.stderr


def check_healthy_run(sim, folder):
    port = free_port()
    log = os.path.join(folder, "sim.log")
    process = sim.start("--port", str(port), "--handshake-interval", "0.2", "--train-interval", "1",
                        "--picture-dir", sim.path(os.path.join(folder, "pics")),
                        "--xml-dir", sim.path(os.path.join(folder, "xml")),
                        "--pictures", "2", "--xml-files", "1", "--serial", "S&1", "--exit-after", "6",
                        "--log", sim.path(log))
    try:
        conn = connect(port, 60)
        data = read_until(conn, [b"</handshake>", b"</train>"], 20)
        conn.close()
        assert process.wait(timeout=30) == 0
    finally:
        if process.poll() is None:
            process.kill()
    train = re.search(rb"<train><time>([^<]*)</time>(.*?)</train>", data, re.S)
    assert train, data
    assert b'<vagen id="1"><serial>S&amp;1</serial></vagen>' in train.group(2), train.group(0)
    time_text = train.group(1).decode()
    assert re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", time_text), time_text
    key = re.sub(r"[ :-]", "", time_text)
    pictures = sorted(os.listdir(os.path.join(folder, "pics", key)))
    assert pictures == ["L001_001.jpg", "L001_002.jpg"], pictures
    xml_files = [n for n in os.listdir(os.path.join(folder, "xml")) if n.startswith(key)]
    assert xml_files == [key + "_L001_001.xml"], xml_files
    with open(log, "rb") as f:
        text = f.read().decode("latin-1")
    for needle in ("listening on 127.0.0.1:%d" % port, "connection 1 accepted", "handshake 1 sent to 1",
                   "train %s: wrote 2 picture(s), 1 XML file(s)" % key, "exiting now"):
        assert needle in text, "%r missing from the log:\n%s" % (needle, text)


def check_closing_fault(sim, folder):
    port = free_port()
    stop = os.path.join(folder, "stop")
    process = sim.start("--port", str(port), "--handshake-interval", "0.2", "--close-after", "1.5",
                        "--stop-file", sim.path(stop))
    try:
        conn = connect(port, 60)
        read_until(conn, [b"</handshake>"], 20)
        conn.settimeout(10)
        while conn.recv(65536):
            pass  # handshakes until the fault closes the connection
        conn.close()
        again = connect(port, 5)
        again.settimeout(10)
        assert again.recv(100) == b"", "a new connection must be closed at once"
        again.close()
        open(stop, "w").close()
        assert process.wait(timeout=30) == 0
        output = process.stdout.read().decode("latin-1")
        assert "closing every connection" in output and "stop file" in output, output
    finally:
        if process.poll() is None:
            process.kill()


def quiet_for(conn, seconds):
    """True when nothing arrives for `seconds` (after draining what came)."""
    conn.settimeout(seconds)
    try:
        return conn.recv(65536) == b""
    except socket.timeout:
        return True


def check_sending_faults(sim, folder):
    stop = os.path.join(folder, "stop2")
    port = free_port()
    garbage = sim.start("--port", str(port), "--handshake-interval", "0.2", "--garbage",
                        "--stop-file", sim.path(stop))
    never = silent = None
    try:
        conn = connect(port, 60)
        data = b""
        conn.settimeout(10)
        while len(data) < 300:
            chunk = conn.recv(65536)
            assert chunk, "garbage connection closed"
            data += chunk
        conn.close()
        assert b"<" not in data and b"handshake" not in data, data[:100]

        port = free_port()
        never = sim.start("--port", str(port), "--handshake-interval", "0.2", "--never-send",
                          "--stop-file", sim.path(stop))
        conn = connect(port, 60)
        assert quiet_for(conn, 1.5), "--never-send sent something"
        conn.close()

        port = free_port()
        silent = sim.start("--port", str(port), "--handshake-interval", "0.2", "--silent-after", "1.5",
                           "--stop-file", sim.path(stop))
        conn = connect(port, 60)
        read_until(conn, [b"</handshake>"], 20)
        time.sleep(1.5)
        conn.settimeout(0.5)
        try:
            while conn.recv(65536):
                pass
        except socket.timeout:
            pass
        assert quiet_for(conn, 1.5), "--silent-after kept sending"
        conn.close()
        open(stop, "w").close()
        for process in (garbage, never, silent):
            assert process.wait(timeout=30) == 0
    finally:
        for process in (garbage, never, silent):
            if process is not None and process.poll() is None:
                process.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    sim = ToolProcess(args.sim, args.wine)
    folder = tempfile.mkdtemp(prefix="zelk_sim_")
    try:
        check_help_and_errors(sim)
        check_healthy_run(sim, folder)
        check_closing_fault(sim, folder)
        check_sending_faults(sim, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("trackside-sim smoke: 4 passed")


if __name__ == "__main__":
    sys.exit(main())
