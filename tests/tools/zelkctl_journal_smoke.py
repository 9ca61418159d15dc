"""Runs the built zelkctl (natively or under Wine) on generated journals:
history finding the journal through config.xml, its table, summary and JSON
Lines, the one note on the torn last line; timeline drawn plain in a pipe
and written as SVG and HTML, a window of the day across the repeated hour,
and a window the clocks skip refused; the SVG rendered in headless Chromium and the
screenshot checked to show the palette's colours, not a blank page; and a
one-line error with exit 2 for a journal that is not there and for output
that does not reach its file.

    zelkctl_journal_smoke.py --zelkctl PATH [--wine] [--keep DIR]

The journals come from zelk_testing.journal_gen (tests/support on PYTHONPATH).
"""

import argparse
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from zelk_testing.tool_process import ToolProcess

# The palette, as the SVG fills its stretches.
CONNECTED = (0x00, 0x9E, 0x73)
DOWN = (0xD5, 0x5E, 0x00)
HATCH = (0x99, 0x99, 0x99)


def run(tool, *args):
    r = tool.run(*args)
    return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")


def generate(folder, *args):
    subprocess.run([sys.executable, "-m", "zelk_testing.journal_gen", folder] + list(args),
                   check=True, stderr=subprocess.DEVNULL)


def check_history(tool, station):
    config = os.path.join(station, "config.xml")
    rc, out, err = run(tool, "history", "--config", tool.path(config), "--since", "2026-10-25",
                       "--until", "2026-10-26")
    assert rc == 0, (rc, err)
    out = out.replace("\r\n", "\n")
    lines = out.split("\n")
    assert lines[0].split() == ["TIME", "APP", "EVENT", "DETAILS"], lines[0]
    assert any(" terminated " in line and "app" in line for line in lines), out[:2000]
    # Natively in the journal's own zone (a day of 25 hours); under Wine in
    # the machine's.
    summary = out.index("\nSummary from 2026-10-2")
    if not tool.wine:
        assert out[summary:].startswith("\nSummary from 2026-10-25 00:00 to 2026-10-26 00:00 (1d 1h)"), \
            out[summary:summary + 80]
    table = out[summary:].split("\n")
    assert table[2].split()[:2] == ["APP", "CONNECTED"], table[2]
    assert len([row for row in table[3:] if row.startswith(("app", "Z"))]) == 20, out[summary:]
    # The torn last line of the last file lies after the range: not read.
    assert "skipped" not in err, err

    rc, out, err = run(tool, "history", "--journal", tool.path(os.path.join(station, "journal")),
                       "--json", "--event", "terminated", "--app", "app05.exe")
    assert rc == 0, (rc, err)
    # Read now, and said once on its own line.
    notes = [line for line in err.splitlines() if "skipped" in line]
    assert notes == ["zelkctl: 1 line of the journal skipped: torn by a power cut, or not an "
                     "event in JSON"], err
    events = [json.loads(line) for line in out.splitlines() if line.strip()]
    assert events and all(e["event"] == "terminated" and e["app"] == "app05.exe" for e in events), out[:500]
    times = [e["time"] for e in events]
    assert len(set(times)) == len(times)


def check_errors(tool, station):
    bare = os.path.join(station, "bare.xml")
    with open(bare, "w") as f:
        f.write('<?xml version="1.0"?>\n<config><status folder="s"/></config>\n')
    for args in (["history", "--config", tool.path(bare)],
                 ["timeline", "--journal", tool.path(os.path.join(station, "nowhere"))]):
        rc, out, err = run(tool, *args)
        assert rc == 2 and len(err.strip().splitlines()) == 1 and err.startswith("zelkctl: "), (args, rc, err)
    # A name that matches nothing: the nearest one suggested, no output.
    journal = tool.path(os.path.join(station, "journal"))
    for args in (["history", "--journal", journal, "--app", "app05.ex"],
                 ["timeline", "--journal", journal, "--day", "2026-10-25", "--app", "app05.ex"]):
        rc, out, err = run(tool, *args)
        assert rc == 2 and out == "" and 'no application named "app05.ex"' in err \
            and "did you mean app05.exe?" in err, (args, rc, out[:300], err)
    # Output that does not reach its file (a full disk) is a failure, said once.
    journal = tool.path(os.path.join(station, "journal"))
    for args in (["history", "--journal", journal], ["timeline", "--journal", journal]):
        with open("/dev/full", "wb") as full:
            r = subprocess.run(tool.command(*args), stdin=subprocess.DEVNULL, stdout=full,
                               stderr=subprocess.PIPE, env=tool.env, timeout=60)
        err = r.stderr.decode("utf-8", "replace")
        assert r.returncode == 2 and "zelkctl: cannot write the output" in err, (args, r.returncode, err)


def check_timeline(tool, station, day, hours):
    journal = tool.path(os.path.join(station, "journal"))
    rc, out, err = run(tool, "timeline", "--journal", journal, "--day", day)
    assert rc == 0, (rc, err)
    assert "\x1b" not in out, "colour in a pipe"
    rows = [line for line in out.replace("\r\n", "\n").split("\n") if line.startswith(("app", "Z"))]
    assert len(rows) == 20, out
    name_width = rows[0].index(" ")
    cells = rows[0][name_width + 1:name_width + 1 + hours * 4]
    assert len(cells) == hours * 4 and cells.strip("=~-!X?./RLMUIE23456789+ ") == "", repr(rows[0])
    pictures = {}
    for kind in ("svg", "html"):
        path = os.path.join(station, "timeline." + kind)
        rc, out, err = run(tool, "timeline", "--journal", journal, "--day", day, "--output",
                           tool.path(path))
        assert rc == 0 and out == "", (rc, out, err)
        with open(path, encoding="utf-8") as f:
            pictures[kind] = f.read()
    svg = pictures["svg"]
    assert svg.startswith("<?xml") and "<script" not in svg and "Sunday 2026-10-25" in svg
    assert svg.split("<svg", 1)[1] in pictures["html"]
    return os.path.join(station, "timeline.svg")


def check_window(tool, station):
    journal = tool.path(os.path.join(station, "journal"))
    # Natively 01:30 summer time to 03:30 winter time, under Wine two hours
    # in the machine's zone: 96 characters either way.
    rc, out, err = run(tool, "timeline", "--journal", journal, "--day", "2026-10-25", "--from",
                       "01:30", "--to=03:30")
    assert rc == 0, (rc, err)
    lines = out.replace("\r\n", "\n").split("\n")
    assert ", 01:30" in lines[0] and " to 03:30" in lines[0], lines[0]
    start = len(lines[1]) - len(lines[1].lstrip())
    for row in (line for line in lines if line.startswith(("app", "Z"))):
        cells, rest = row[start:start + 96], row[start + 96:]
        assert cells.strip("=~-!X?./RLMUIE23456789+ ") == "" and rest[:2] in ("", "  "), repr(row)
    if not tool.wine:
        # 02:30 never shows on the spring day: refused before the journal is read.
        rc, out, err = run(tool, "timeline", "--journal", journal, "--day", "2026-03-29",
                           "--from", "02:10", "--to", "02:50")
        assert rc == 3 and len(err.strip().splitlines()) == 1 and "skip" in err, (rc, err)


def read_png(path):
    """Width, height and RGB pixels of an 8-bit, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, (depth, colour, interlace)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(line)
        previous = line
    pixels = [tuple(row[x * channels:x * channels + 3]) for row in rows for x in range(width)]
    return width, height, pixels


def render(svg, keep):
    """Screenshots the SVG in headless Chromium; the PNG's path."""
    browser = shutil.which("chromium")
    assert browser, "chromium is missing (scripts/install-deps installs it)"
    profile = tempfile.mkdtemp(prefix="zelkctl-chromium-")
    png = os.path.join(keep, "timeline.png")
    try:
        subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                        "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync",
                        "--user-data-dir=" + profile, "--screenshot=" + png,
                        "--window-size=1300,900", "file://" + os.path.abspath(svg)],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=True)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    return png


def check_screenshot(png):
    width, height, pixels = read_png(png)
    assert (width, height) == (1300, 900), (width, height)
    counts = {}
    for pixel in pixels:
        counts[pixel] = counts.get(pixel, 0) + 1
    white = counts.get((255, 255, 255), 0)
    assert white < 0.9 * len(pixels), "blank: %d of %d pixels white" % (white, len(pixels))
    assert len(counts) > 20, "only %d colours" % len(counts)
    # Connected stretches across most lanes, the storms' down stretches and
    # the hatching of the daemon's restart.
    assert counts.get(CONNECTED, 0) > 50000, counts.get(CONNECTED, 0)
    assert counts.get(DOWN, 0) > 500, counts.get(DOWN, 0)
    assert counts.get(HATCH, 0) > 100, counts.get(HATCH, 0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelkctl", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--keep", help="folder for the picture and its screenshot")
    args = parser.parse_args()
    tool = ToolProcess(args.zelkctl, args.wine)
    if not args.wine:
        # The day the clocks go back: 25 hours drawn.
        tool.env["TZ"] = "Europe/Berlin"
    station = tempfile.mkdtemp(prefix="zelkctl-journal-")
    try:
        generate(os.path.join(station, "journal"), "--start", "2026-10-24", "--days", "3", "--torn")
        with open(os.path.join(station, "config.xml"), "w") as f:
            f.write('<?xml version="1.0"?>\n<config>\n  <journal folder="journal" days="30"/>\n'
                    '  <app name="a" path="a"><socket ip="127.0.0.1" port="9000"/></app>\n</config>\n')
        check_history(tool, station)
        check_errors(tool, station)
        # Under Wine the day is drawn in the machine's own time zone.
        day_seconds = (time.mktime((2026, 10, 26, 0, 0, 0, 0, 0, -1)) -
                       time.mktime((2026, 10, 25, 0, 0, 0, 0, 0, -1)))
        svg = check_timeline(tool, station, "2026-10-25",
                             round(day_seconds / 3600) if args.wine else 25)
        check_window(tool, station)
        keep = args.keep or station
        os.makedirs(keep, exist_ok=True)
        if keep != station:
            shutil.copy(svg, keep)
        check_screenshot(render(svg, keep))
    finally:
        shutil.rmtree(station, ignore_errors=True)
    print("zelkctl journal smoke: history, timeline, SVG rendered")


if __name__ == "__main__":
    main()
