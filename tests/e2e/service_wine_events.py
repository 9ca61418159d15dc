"""The administrator events of the service under Wine's service manager: the
service starts (1001), an application that accepts and never sends is
terminated after 10 waits (3001, with its cause and one process ended) and
launched again (3002); paused through the service's pipe with zelkctl
(5001, with who, until when and why) it is left alone for more than those
10 waits, and resumed (5002); the stop is said (1002, 1003). Wine's event log
writes every insert string to its "eventlog" debug channel; the service
takes its environment from the system's, so the test gives it
WINEDEBUG=+eventlog there, in a Wine prefix of its own whose session writes
its standard error to a file, and reads the events from that file."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from zelk_testing.sim import SimSetup, parse_args

SERVICE = "ZELK_Daemon"
ENVIRONMENT_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"


def wine(*args, check=True):
    result = subprocess.run(["wine"] + list(args), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError("wine %s: rc %d\n%s" % (" ".join(args), result.returncode,
                                                      result.stdout.decode("latin-1")))


def events(path):
    """[(id, [inserts])] in the order reported: each ReportEventA call is a
    line of the advapi channel, its inserts the eventlog channel's lines of
    the same thread after it."""
    found = []
    open_events = {}
    with open(path, "rb") as f:
        for raw in f:
            line = raw.decode("latin-1").rstrip("\n")
            call = re.match(r"([0-9a-f]{4}):fixme:advapi:ReportEventA \([^,]+,0x[0-9a-f]+,0x[0-9a-f]+,"
                            r"0x([0-9a-f]{8}),", line)
            if call:
                open_events[call.group(1)] = (int(call.group(2), 16), [])
                found.append(open_events[call.group(1)])
                continue
            # Wine cuts a long string short, ending it in "..." after the quote.
            insert = re.match(r'([0-9a-f]{4}):\w+:eventlog:ReportEventW L"(.*)"(?:\.\.\.)?$', line)
            if insert and insert.group(1) in open_events:
                open_events[insert.group(1)][1].append(insert.group(2))
    return found


def wait_for_events(path, ids, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        got = [event_id for (event_id, _inserts) in events(path)]
        if all(event_id in got for event_id in ids):
            return events(path)
        time.sleep(0.5)
    raise AssertionError("events %r not all reported within %d s; got %r"
                         % (ids, timeout, events(path)))


def zelkctl(setup, path, *arguments):
    result = subprocess.run(["wine", path] + list(arguments) + [
        "--config", setup.native(os.path.join(setup.run.folder, "config.xml"))],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    text = (result.stdout + result.stderr).decode("latin-1")
    assert result.returncode == 0, "zelkctl %s: rc %d\n%s" % (arguments[0], result.returncode, text)
    return text


def pause_and_resume(setup, app, path, channel):
    """Pauses `app` for longer than its termination count, then resumes it;
    returns the events reported meanwhile."""
    text = zelkctl(setup, path, "pause", app.exe_name, "--reason", "wine maintenance", "--for",
                   "1h")
    assert "paused until" in text, text
    got = wait_for_events(channel, [5001], 30)
    terminations = [event_id for (event_id, _inserts) in got].count(3001)
    time.sleep(35)  # past the 10 waits of 3 s that end a connection that never sends
    text = zelkctl(setup, path, "resume", app.exe_name)
    assert "resumed" in text, text
    got = wait_for_events(channel, [5002], 30)
    ids = [event_id for (event_id, _inserts) in got]
    assert ids[:ids.index(5002)].count(3001) == terminations, "terminated while paused: %r" % got
    return got


def main():
    args = parse_args()
    if not args.wine:
        print("Wine event log: not applicable to a native build")
        return 0
    prefix = tempfile.mkdtemp(prefix="zelk_events_prefix_")
    subprocess.run(["cp", "-a", os.environ["WINEPREFIX"] + "/.", prefix], check=True)
    os.environ["WINEPREFIX"] = prefix
    os.environ["WINEDEBUG"] = "-all"
    channel = os.path.join(tempfile.mkdtemp(prefix="zelk_events_"), "stderr.log")
    subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
    try:
        wine("reg", "add", ENVIRONMENT_KEY, "/v", "WINEDEBUG", "/t", "REG_SZ", "/d", "+eventlog",
             "/f")
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], check=True)
        # The session's helpers, the service manager among them, write their
        # standard error where this first process does.
        with open(channel, "wb") as stderr:
            subprocess.run(["wine", "cmd", "/c", "exit"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=stderr, timeout=120)
        with SimSetup(args.exe, args.sim, True) as setup:
            app = setup.add_app("evt", ["--handshake-interval", "1", "--train-interval", "0",
                                        "--never-send"])
            setup.write_config()
            app.start()
            wine("sc", "create", SERVICE, "binPath=", setup.native(setup.run.exe))
            try:
                wine("sc", "start", SERVICE)
                got = wait_for_events(channel, [1001, 3001, 3002], 150)
                got = pause_and_resume(setup, app, args.zelkctl, channel)
            finally:
                wine("sc", "stop", SERVICE, check=False)
                time.sleep(5)
                wine("sc", "delete", SERVICE, check=False)
            got = wait_for_events(channel, [1002, 1003], 30)
            by_id = {}
            for event_id, inserts in got:
                by_id.setdefault(event_id, inserts)
            ids = [event_id for (event_id, _inserts) in got]
            assert ids.index(1001) < ids.index(3001) < ids.index(3002) < ids.index(1003), got
            assert by_id[3001] == [app.exe_name, "10 waits without a connection", "1"], got
            assert by_id[3002][0] == app.exe_name and app.exe_name in by_id[3002][1], got
            assert by_id[3002][2].isdigit(), got
            # The administrator's name as the pipe client's token gives it.
            paused, resumed = by_id[5001], by_id[5002]
            assert paused[0] == app.exe_name and paused[1] and paused[2], got
            assert paused[3] == "wine maintenance", got
            assert resumed == [app.exe_name, paused[1]], got
            print("Wine event log: %s" % ", ".join(str(event_id) for event_id in ids))
            print("Wine event log: 5001 %r, 5002 %r" % (paused, resumed))
    finally:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        shutil.rmtree(prefix, ignore_errors=True)
        shutil.rmtree(os.path.dirname(channel), ignore_errors=True)
    print("Wine event log: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
