"""Opens timeline pictures in headless Chromium and measures them there:
every text and shape of the edge pictures (now at the very end and at the
start of the day, a long lane name, a window ending at now, maintenance to
the day's end) lies inside the SVG's viewport, the "now" label included; a storm day (20 applications,
100,000 events, drawn by zelkctl from a generated journal) renders and its
element count stays bounded. Exits 77 (skipped) where Chromium is absent.

    timeline_browser.py --zelkctl PATH --pictures PATH [--keep DIR]

The storm's render time is printed, a figure for bench/README.md, never a
condition of the test.
"""

import argparse
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
# A storm day's picture: at most about one stretch per pixel run and one box
# per crowded bucket in each lane, whatever the number of events.
MAX_STORM_ELEMENTS = 25000

# Measures every drawn element against the SVG's own box and writes the
# result into the page, where --dump-dom finds it.
PROBE = """<pre id="probe"></pre><script>
const svg = document.querySelector("svg");
const box = svg.getBoundingClientRect();
const outside = [];
let texts = 0;
for (const e of svg.querySelectorAll("text, path, rect, circle, line")) {
  if (e.closest("defs")) continue;
  texts += e.tagName === "text" ? 1 : 0;
  const r = e.getBoundingClientRect();
  if (r.left < box.left - 0.5 || r.right > box.right + 0.5 ||
      r.top < box.top - 0.5 || r.bottom > box.bottom + 0.5) {
    outside.push(e.tagName + " " + (e.textContent || "").slice(0, 40) + " " +
                 JSON.stringify([r.left - box.left, r.right - box.left, r.top - box.top,
                                 r.bottom - box.top, box.width, box.height]));
  }
}
const now = [...svg.querySelectorAll("text")].filter(t => t.textContent.startsWith("now "))
  .map(t => t.textContent);
document.getElementById("probe").textContent = JSON.stringify({
  elements: svg.querySelectorAll("*").length, texts: texts, outside: outside, now: now,
  maintenance: svg.querySelectorAll('rect[fill="url(#maintenance)"]').length,
  ms: performance.now()});
</script>"""


def measure(browser, svg_path, keep):
    """The probe's findings for the SVG at svg_path, and Chromium's wall time."""
    with open(svg_path, encoding="utf-8") as f:
        svg = f.read()
    svg = re.sub(r"^<\?xml[^>]*\?>\s*", "", svg)
    page = os.path.join(keep, os.path.basename(svg_path) + ".html")
    with open(page, "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head>"
                "<body style=\"margin:0\">" + svg + PROBE + "</body></html>\n")
    profile = tempfile.mkdtemp(prefix="zelk-chromium-")
    try:
        started = time.monotonic()
        r = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu",
                            "--disable-quic", "--no-first-run", "--disable-background-networking",
                            "--disable-component-update", "--disable-sync",
                            "--user-data-dir=" + profile, "--dump-dom",
                            "file://" + os.path.abspath(page)],
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=180)
        seconds = time.monotonic() - started
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    dom = r.stdout.decode("utf-8")
    found = re.search(r'<pre id="probe">(.*?)</pre>', dom, re.S)
    assert found and found.group(1), "no result from %s (exit %d): %s" % (
        page, r.returncode, r.stderr.decode("utf-8", "replace")[-400:])
    return json.loads(html.unescape(found.group(1))), seconds


def check_edges(browser, pictures, keep):
    subprocess.run([pictures, keep], check=True)
    expected_now = {"day-end.svg": "now 23:59", "day-start.svg": "now 00:00",
                    "window-end.svg": "now 23:59"}
    for name, now in expected_now.items():
        found, _ = measure(browser, os.path.join(keep, name), keep)
        assert found["texts"] > 20, (name, found["texts"])
        assert found["outside"] == [], (name, found["outside"])
        assert found["now"] == [now], (name, found["now"])
        # The lane's maintenance and the legend's.
        assert found["maintenance"] == 2, (name, found["maintenance"])


def check_storm(browser, zelkctl, keep):
    journal = os.path.join(keep, "storm-journal")
    shutil.rmtree(journal, ignore_errors=True)
    subprocess.run([sys.executable, "-m", "zelk_testing.journal_gen", journal, "--start",
                    "2026-12-09", "--days", "1", "--apps", "20", "--events-per-day", "100000",
                    "--zone", "UTC"], check=True, stderr=subprocess.DEVNULL)
    svg = os.path.join(keep, "storm.svg")
    env = dict(os.environ, TZ="UTC")
    subprocess.run([zelkctl, "timeline", "--journal", journal, "--day", "2026-12-09",
                    "--output", svg], check=True, env=env, stdin=subprocess.DEVNULL)
    # Chromium's own start, to tell the picture's part of the time.
    blank = os.path.join(keep, "blank.svg")
    with open(blank, "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><text>x</text>'
                '</svg>\n')
    _, base = measure(browser, blank, keep)
    found, seconds = measure(browser, svg, keep)
    assert found["outside"] == [], found["outside"][:5]
    assert 20 * 10 < found["elements"] <= MAX_STORM_ELEMENTS, found["elements"]
    print("storm day: %d bytes, %d elements, %.2f s in Chromium (%.2f s for a blank picture), "
          "%.0f ms to the probe" % (os.path.getsize(svg), found["elements"], seconds, base,
                                    found["ms"]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelkctl", required=True)
    parser.add_argument("--pictures", required=True)
    parser.add_argument("--keep", help="folder for the pictures and their pages")
    args = parser.parse_args()
    browser = shutil.which("chromium")
    if not browser:
        print("chromium is not installed: skipped")
        return SKIPPED
    keep = args.keep or tempfile.mkdtemp(prefix="zelk-timeline-browser-")
    os.makedirs(keep, exist_ok=True)
    try:
        check_edges(browser, os.path.abspath(args.pictures), keep)
        check_storm(browser, os.path.abspath(args.zelkctl), keep)
    finally:
        if not args.keep:
            shutil.rmtree(keep, ignore_errors=True)
    print("timeline in the browser: edges inside the picture, storm day bounded")
    return 0


if __name__ == "__main__":
    sys.exit(main())
