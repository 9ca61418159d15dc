"""zelkctl status --watch on a pseudo-terminal, as an operator runs it: it
switches the terminal to single keys without echo, and whatever ends the
watch (a key, Ctrl-C, Ctrl-\\, SIGTERM, a hang-up, the reader of its output
going away as under "| head") it ends by itself with the code of its last
picture and leaves the terminal with its echo and line editing back; Ctrl-Z
gives the terminal back while it is stopped."""

import argparse
import os
import pty
import select
import shutil
import signal
import sys
import tempfile
import termios
import time


def write_snapshot(path):
    with open(path, "w") as f:
        f.write("zelk_status_write_time_seconds %d\n"
                'zelk_app_connected{app="a.exe",index="0",endpoint="127.0.0.1:7001"} 1\n'
                % time.time())


def read_until(fd, needle, timeout=20):
    """Output of `fd` until it holds `needle`."""
    deadline = time.monotonic() + timeout
    out = b""
    while needle not in out:
        left = deadline - time.monotonic()
        assert left > 0, "no %r in %r" % (needle, out)
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:
                chunk = b""
            assert chunk, "output ended without %r: %r" % (needle, out)
            out += chunk
    return out


def wait_exit(pid, timeout=10):
    """The exit status of `pid`; fails when it is still running after `timeout`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return status
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    raise AssertionError("the watch did not end")


def line_modes(fd):
    lflag = termios.tcgetattr(fd)[3]
    return bool(lflag & termios.ECHO), bool(lflag & termios.ICANON)


def run_case(zelkctl, snapshot, name, end, piped):
    """Starts the watch on a new pseudo-terminal (standard output on a pipe
    when `piped`), lets `end` stop it, and checks how it ended."""
    reader = writer = None
    if piped:
        reader, writer = os.pipe()
    pid, master = pty.fork()
    if pid == 0:
        # As a shell starts it: Python ignores SIGPIPE, and a program inherits that.
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)
        if piped:
            os.dup2(writer, 1)
            os.close(reader)
            os.close(writer)
        os.execv(zelkctl, [zelkctl, "status", "--watch", "1", "--file", snapshot])
    try:
        if piped:
            os.close(writer)
            read_until(reader, b"OK: 1 application connected")
        else:
            read_until(master, b"OK: 1 application connected")
        assert line_modes(master) == (False, False), "%s: no single-key mode" % name
        end(pid, master, reader)
        status = wait_exit(pid)
        assert os.WIFEXITED(status), "%s: ended by signal %d" % (name, os.WTERMSIG(status))
        assert os.WEXITSTATUS(status) == 0, "%s: exit code %d" % (name, os.WEXITSTATUS(status))
        assert line_modes(master) == (True, True), "%s: echo and line editing not restored" % name
    finally:
        os.close(master)
        if reader is not None:
            try:
                os.close(reader)
            except OSError:
                pass


def close_reader(_pid, _master, reader):
    os.close(reader)


def job_control_shell(zelkctl, snapshot):
    """In the child of pty.fork: a shell's job control in brief. The watch runs
    as the terminal's foreground job; when it stops, the shell takes the
    terminal back, says "[stopped]", waits for a line, lets the job continue
    in the foreground and exits with its code."""
    job = os.fork()
    if job == 0:
        os.setpgid(0, 0)
        signal.signal(signal.SIGTTOU, signal.SIG_IGN)
        os.tcsetpgrp(0, os.getpgrp())
        signal.signal(signal.SIGTTOU, signal.SIG_DFL)
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)
        os.execv(zelkctl, [zelkctl, "status", "--watch", "1", "--file", snapshot])
    try:
        os.setpgid(job, job)
    except OSError:
        pass  # the job has made its group already
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    _done, status = os.waitpid(job, os.WUNTRACED)
    if not os.WIFSTOPPED(status):
        os._exit(90)
    os.tcsetpgrp(0, os.getpgrp())
    os.write(1, b"\n[stopped]\n")
    os.read(0, 100)
    os.tcsetpgrp(0, job)
    os.killpg(job, signal.SIGCONT)
    _done, status = os.waitpid(job, 0)
    os._exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 91)


def run_stop_case(zelkctl, snapshot):
    """Ctrl-Z: while the watch is stopped the shell has echo and line editing;
    when it continues, the watch takes single keys again and redraws."""
    pid, master = pty.fork()
    if pid == 0:
        try:
            job_control_shell(zelkctl, snapshot)
        finally:
            os._exit(92)
    try:
        read_until(master, b"OK: 1 application connected")
        os.write(master, b"\x1a")
        read_until(master, b"[stopped]")
        assert line_modes(master) == (True, True), "Ctrl-Z: the terminal not given back"
        os.write(master, b"fg\n")
        read_until(master, b"OK: 1 application connected")
        assert line_modes(master) == (False, False), "Ctrl-Z: no single keys after fg"
        os.write(master, b"q")
        status = wait_exit(pid)
        assert os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, "Ctrl-Z: status %d" % status
        assert line_modes(master) == (True, True), "Ctrl-Z: echo and line editing not restored"
    finally:
        os.close(master)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelkctl", required=True)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="zelkctl_tty_")
    snapshot = os.path.join(folder, "zelk.prom")
    write_snapshot(snapshot)
    cases = [
        ("a key", lambda pid, master, _r: os.write(master, b"q"), False),
        ("Ctrl-C", lambda pid, master, _r: os.write(master, b"\x03"), False),
        ("Ctrl-\\", lambda pid, master, _r: os.write(master, b"\x1c"), False),
        ("SIGTERM", lambda pid, master, _r: os.kill(pid, signal.SIGTERM), False),
        ("SIGHUP", lambda pid, master, _r: os.kill(pid, signal.SIGHUP), False),
        ("output closed", close_reader, True),
    ]
    try:
        for name, end, piped in cases:
            run_case(args.zelkctl, snapshot, name, end, piped)
        run_stop_case(args.zelkctl, snapshot)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("zelkctl watch on a terminal: %d endings, each restored the terminal; "
          "Ctrl-Z and fg" % len(cases))


if __name__ == "__main__":
    sys.exit(main())
