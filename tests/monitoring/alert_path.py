"""The alert path end to end, all on 127.0.0.1: the daemon watches two
simulated applications and writes its status where node_exporter's textfile
collector reads it; a Prometheus server scrapes node_exporter every second
and evaluates a copy of monitoring/zelk.rules.yml every second, in which
each minute of a `for` is a second; Alertmanager sends to a webhook receiver
of this test. One application is killed: ZelkAppDown reaches the receiver
for it and for nothing else, then its resolution once the daemon has it
back. Every rule evaluates without error, promtool finds nothing to lint in
the daemon's snapshot, and every query of monitoring/zelk-dashboard.json
returns data through the server's query API.

  alert_path.py --exe ZELK_Daemon --sim trackside-sim

Needs prometheus (server and promtool), prometheus-node-exporter and
prometheus-alertmanager (scripts/install-deps), and the system's python3
with python3-prometheus-client."""

import argparse
import calendar
import http.server
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

from prometheus_client.parser import text_string_to_metric_families

from zelk_testing.sim import SimSetup, free_port

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))

RULES = os.path.join(ROOT, "monitoring", "zelk.rules.yml")
DASHBOARD = os.path.join(ROOT, "monitoring", "zelk-dashboard.json")
PROGRAMS = ["prometheus", "promtool", "prometheus-node-exporter", "prometheus-alertmanager"]
# Series the status snapshot gains with the state rules and restart storms;
# a daemon built before them writes none, and a dashboard query that needs
# one is skipped with its name instead of failing.
NEW_METRICS = {"zelk_app_state", "zelk_app_terminations_last_hour",
               "zelk_app_restarts_last_hour", "zelk_app_termination_attempts_total", "zelk_app_processes_terminated_total",
               "zelk_daemon_stop_time_seconds", "zelk_config_loaded", "zelk_config_pitfalls",
               "zelk_build_info"}
# Series written only while some application is paused: nothing is here.
WHILE_PAUSED = {"zelk_app_maintenance_info"}


class Receiver:
    """A webhook receiver: every notification Alertmanager posts, with the
    wall-clock time it arrived."""

    def __init__(self):
        self.notes = []
        self.lock = threading.Lock()
        receiver = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                with receiver.lock:
                    receiver.notes.append((time.time(), json.loads(body)))
                self.send_response(200)
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def alerts(self):
        """(arrival time, status, alert) of every alert of every notification."""
        with self.lock:
            return [(t, a["status"], a) for t, note in self.notes for a in note["alerts"]]

    def close(self):
        self.server.shutdown()


class Programs:
    """The servers this test starts, each with its output in a file of the
    work folder; ended by their process ids."""

    def __init__(self, folder):
        self.folder = folder
        self.processes = []

    def start(self, name, command):
        log = open(os.path.join(self.folder, name + ".log"), "wb")
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                                   stderr=subprocess.STDOUT, cwd=self.folder)
        self.processes.append((name, process))
        return process

    def log(self, name):
        with open(os.path.join(self.folder, name + ".log"), "rb") as f:
            return f.read().decode("utf-8", "replace")

    def wait_ready(self, name, url, timeout=60):
        deadline = time.monotonic() + timeout
        process = dict(self.processes)[name]
        while True:
            try:
                with urllib.request.urlopen(url, timeout=2) as answer:
                    if answer.status == 200:
                        return
            except OSError:
                pass
            assert process.poll() is None, "%s ended (rc %s):\n%s" % (
                name, process.returncode, self.log(name))
            assert time.monotonic() < deadline, "%s not ready at %s:\n%s" % (name, url, self.log(name))
            time.sleep(0.2)

    def stop(self):
        for _name, process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        for _name, process in reversed(self.processes):
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


class Prometheus:
    def __init__(self, url):
        self.url = url

    def get(self, path, **params):
        query = urllib.parse.urlencode(params, doseq=True)
        with urllib.request.urlopen("%s%s?%s" % (self.url, path, query), timeout=10) as answer:
            body = json.load(answer)
        assert body["status"] == "success", body
        return body["data"]

    def query(self, expr):
        return self.get("/api/v1/query", query=expr)["result"]

    def value(self, expr):
        """The value of a query that has one sample, or None."""
        result = self.query(expr)
        return float(result[0]["value"][1]) if len(result) == 1 else None

    def metric_names(self):
        return set(self.get("/api/v1/label/__name__/values"))


def test_rules(folder):
    """The rules with each minute of a `for` made a second."""
    with open(RULES) as f:
        text = f.read()
    shortened, count = re.subn(r"^(\s*for:\s*)(\d+)m\s*$", r"\g<1>\2s", text, flags=re.M)
    assert count >= 3, "no `for` found to shorten in %s" % RULES
    path = os.path.join(folder, "rules.yml")
    with open(path, "w") as f:
        f.write(shortened)
    return path


def write_configs(folder, ports, receiver_url, rules):
    prometheus = os.path.join(folder, "prometheus.yml")
    with open(prometheus, "w") as f:
        f.write("""global:
  scrape_interval: 1s
  scrape_timeout: 1s
  evaluation_interval: 1s
alerting:
  alertmanagers:
    - static_configs:
        - targets: ['127.0.0.1:%d']
rule_files: ['%s']
scrape_configs:
  - job_name: station
    static_configs:
      - targets: ['127.0.0.1:%d']
""" % (ports["alertmanager"], rules, ports["node"]))
    alertmanager = os.path.join(folder, "alertmanager.yml")
    with open(alertmanager, "w") as f:
        f.write("""route:
  receiver: test
  group_by: [alertname, instance, app]
  group_wait: 1s
  group_interval: 1s
  repeat_interval: 1h
receivers:
  - name: test
    webhook_configs:
      - url: '%s'
        send_resolved: true
""" % receiver_url)
    return prometheus, alertmanager


class SnapshotWatch:
    """Reads the daemon's snapshot every 0.1 s and notes when which
    applications are seen down: in the state down, or for a daemon without
    states not connected or failing its reads."""

    def __init__(self, path):
        self.path = path
        self.seen = []
        self.last_text = ""
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while not self.stopping:
            try:
                with open(self.path, encoding="utf-8") as f:
                    text = f.read()
                self.last_text = text
                self.seen.append((time.time(), self.apps_down(text)))
            except (OSError, ValueError):
                pass
            time.sleep(0.1)

    @staticmethod
    def apps_down(text):
        values = {}
        for family in text_string_to_metric_families(text):
            for s in family.samples:
                values[(s.name, s.labels.get("app"), s.labels.get("state"))] = s.value
        apps = {app for (_name, app, _state) in values if app}
        if any(name == "zelk_app_state" for (name, _a, _s) in values):
            return {a for a in apps if values.get(("zelk_app_state", a, "down")) == 1}
        return {a for a in apps if values.get(("zelk_app_connected", a, None)) == 0 or
                values.get(("zelk_app_recv_failures", a, None), 0) > 0}

    def first_down(self, app, after):
        """When the application was first seen down after `after`, or None."""
        return next((t for t, down in list(self.seen) if t >= after and app in down), None)

    def stop(self):
        self.stopping = True
        self.thread.join()


def wait(what, timeout, probe, interval=0.2):
    deadline = time.monotonic() + timeout
    while True:
        got = probe()
        if got:
            return got
        assert time.monotonic() < deadline, "%s: not within %d s" % (what, timeout)
        time.sleep(interval)


def dashboard_queries():
    """(panel title, expr) of every target of the dashboard."""
    with open(DASHBOARD) as f:
        dashboard = json.load(f)
    found = []
    for panel in dashboard["panels"]:
        for target in panel.get("targets", []):
            found.append((panel["title"], target["expr"]))
    variables = [v["query"]["query"] for v in dashboard["templating"]["list"]]
    return found, variables


def zelk_names(expr):
    """The names of the daemon's series an expression reads."""
    return set(re.findall(r"(?<![:\w])zelk_[a-z_]+", expr))


def recorded_sources():
    """{recording rule name: the metric names its expression reads}."""
    with open(RULES) as f:
        text = f.read()
    sources = {}
    for match in re.finditer(r"- record: (\S+)\n\s+expr: ((?:.*\n)+?)(?=\s*(?:- record|- alert|$))",
                             text):
        sources[match.group(1)] = zelk_names(match.group(2))
    return sources


def run_dashboard(prometheus, station):
    """Runs every query of the dashboard for the station; returns the names
    of the queries skipped because they need a metric this daemon lacks."""
    queries, variables = dashboard_queries()
    for variable in variables:
        match = re.fullmatch(r"label_values\((\w+), (\w+)\)", variable)
        assert match, "variable query not understood: %s" % variable
        values = prometheus.get("/api/v1/label/%s/values" % match.group(2),
                                **{"match[]": match.group(1)})
        assert station in values, (variable, values)
    present = prometheus.metric_names()
    sources = recorded_sources()
    skipped = []
    for title, expr in queries:
        concrete = expr.replace("$station", station)
        result = prometheus.query(concrete)
        if result:
            continue
        needed = zelk_names(expr)
        for name in re.findall(r"\b[a-z_]+:zelk_[a-z_:0-9]+\b", expr):
            needed |= sources.get(name, set())
        missing = sorted(n for n in needed if n not in present)
        assert missing and set(missing) <= NEW_METRICS | WHILE_PAUSED, (
            "dashboard panel %r: no data for\n%s\n(missing series: %s)" % (title, concrete, missing))
        skipped.append("%r (needs %s, which this daemon does not write now)" % (title, ", ".join(missing)))
    return len(queries), skipped


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    missing = [p for p in PROGRAMS if shutil.which(p) is None]
    assert not missing, "not installed: %s (scripts/install-deps installs them)" % ", ".join(missing)

    started = time.monotonic()
    folder = tempfile.mkdtemp(prefix="zelk_alert_path_")
    programs = Programs(folder)
    receiver = Receiver()
    watch = None
    try:
        with SimSetup(args.exe, args.sim, False) as setup:
            setup.status_folder = os.path.join(setup.run.folder, "status")
            os.makedirs(setup.status_folder)
            healthy = setup.add_app("mon_ok", ["--handshake-interval", "1", "--train-interval", "2"])
            victim = setup.add_app("mon_down", ["--handshake-interval", "1", "--train-interval", "0"])

            ports = {"node": free_port(), "alertmanager": free_port(), "prometheus": free_port()}
            prometheus_yml, alertmanager_yml = write_configs(folder, ports, receiver.url,
                                                            test_rules(folder))
            programs.start("alertmanager", [
                "prometheus-alertmanager", "--config.file=" + alertmanager_yml,
                "--storage.path=" + os.path.join(folder, "am"),
                "--web.listen-address=127.0.0.1:%d" % ports["alertmanager"],
                "--cluster.listen-address="])
            programs.start("node", [
                "prometheus-node-exporter", "--web.listen-address=127.0.0.1:%d" % ports["node"],
                "--collector.disable-defaults", "--collector.textfile", "--collector.time",
                "--collector.textfile.directory=" + setup.status_folder])
            programs.start("prometheus", [
                "prometheus", "--config.file=" + prometheus_yml,
                "--storage.tsdb.path=" + os.path.join(folder, "tsdb"),
                "--web.listen-address=127.0.0.1:%d" % ports["prometheus"]])
            programs.wait_ready("alertmanager", "http://127.0.0.1:%d/-/ready" % ports["alertmanager"])
            programs.wait_ready("node", "http://127.0.0.1:%d/metrics" % ports["node"])
            programs.wait_ready("prometheus", "http://127.0.0.1:%d/-/ready" % ports["prometheus"])
            prometheus = Prometheus("http://127.0.0.1:%d" % ports["prometheus"])
            station = "127.0.0.1:%d" % ports["node"]

            setup.start()
            ok, gone = healthy.exe_name, victim.exe_name
            watch = SnapshotWatch(os.path.join(setup.status_folder, "zelk.prom"))
            for name in (ok, gone):
                wait("%s connected, as Prometheus sees it" % name, 60, lambda n=name: prometheus.value(
                    'zelk_app_connected{app="%s"} == 1 and on (app) '
                    'increase(zelk_app_messages_total{app="%s",kind="handshake"}[10s]) > 0' % (n, n)))
            # The snapshot as the daemon writes it, for Prometheus' linter.
            snapshot = watch.last_text
            lint = subprocess.run(["promtool", "check", "metrics"], input=snapshot.encode(),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
            assert lint.returncode == 0 and not lint.stdout.strip(), (
                "promtool check metrics:\n%s\non:\n%s" % (lint.stdout.decode(), snapshot))
            age = prometheus.value('instance:zelk_snapshot_age_seconds{instance="%s"}' % station)
            assert age is not None and -5 < age < 30, "snapshot age %r" % age
            assert prometheus.value('instance:zelk_daemon_not_writing{instance="%s"}' % station) == 0

            # The application goes down.
            pid = int(re.findall(r"\(pid (\d+)\)", victim.events())[0])
            killed = time.time()
            os.kill(pid, signal.SIGKILL)
            active = {}

            def fired():
                for alert in prometheus.get("/api/v1/alerts")["alerts"]:
                    if alert["labels"].get("app") == gone:
                        active.setdefault(alert["state"], time.time())
                        active.setdefault("activeAt", alert["activeAt"])
                return [a for a in receiver.alerts()
                        if a[1] == "firing" and a[2]["labels"]["alertname"] == "ZelkAppDown" and
                        a[2]["labels"].get("app") == gone]
            firing = wait("ZelkAppDown for %s at the receiver" % gone, 90, fired)[0]
            resolved = wait("the resolution of ZelkAppDown for %s at the receiver" % gone, 120,
                            lambda: [a for a in receiver.alerts() if a[1] == "resolved" and
                                     a[2]["labels"]["alertname"] == "ZelkAppDown" and
                                     a[2]["labels"].get("app") == gone])[0]
            others = [a[2]["labels"] for a in receiver.alerts()
                      if (a[2]["labels"]["alertname"], a[2]["labels"].get("app")) != ("ZelkAppDown", gone)]
            assert not others, "alerts that should not have fired: %s" % others
            labels = firing[2]["labels"]
            assert labels["severity"] == "critical" and labels["instance"] == station, labels
            assert firing[2]["annotations"]["summary"] == "%s on %s down for 5 minutes" % (gone, station)

            # Every rule evaluated against real series without an error.
            for group in prometheus.get("/api/v1/rules")["groups"]:
                for rule in group["rules"]:
                    assert rule["health"] == "ok", "rule %s: %s" % (rule["name"], rule.get("lastError"))
            count, skipped = run_dashboard(prometheus, station)
            series = prometheus.value('count({__name__=~"zelk_.+", instance="%s"})' % station)
            watch.stop()

            down_seen = watch.first_down(gone, killed)
            active_at = _wall(active.get("activeAt"))
            print("the alert as the receiver got it:")
            print(json.dumps(firing[2], indent=2, sort_keys=True))
            print("from the kill to the receiver: %.1f s" % (firing[0] - killed))
            if down_seen and active_at:
                print("  the daemon sees it down and writes its snapshot: %.1f s" % (down_seen - killed))
                print("  scraped and evaluated, the rule active:         %.1f s" % (active_at - down_seen))
                print("  its `for` (5m as 5 s), firing:                  %.1f s" % (
                    active.get("firing", firing[0]) - active_at))
                print("  to Alertmanager and on to the receiver:         %.1f s" % (
                    firing[0] - active.get("firing", firing[0])))
            print("resolved at the receiver %.1f s after the kill" % (resolved[0] - killed))
            print("zelk series of this station (2 applications): %d" % series)
            print("dashboard: %d queries, %d with data, %d skipped" % (
                count, count - len(skipped), len(skipped)))
            for line in skipped:
                print("  skipped: " + line)
    finally:
        if watch:
            watch.stop()
        programs.stop()
        receiver.close()
        shutil.rmtree(folder, ignore_errors=True)
    print("alert path: 1 passed, 0 failed (%.1f s)" % (time.monotonic() - started))
    return 0


def _wall(rfc3339):
    """Seconds since the epoch of Prometheus' RFC 3339 UTC times, or None."""
    if not rfc3339:
        return None
    match = re.fullmatch(r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)(\.\d+)?Z", rfc3339)
    if not match:
        return None
    whole = calendar.timegm(time.strptime(match.group(1), "%Y-%m-%dT%H:%M:%S"))
    return whole + float(match.group(2) or 0)


if __name__ == "__main__":
    sys.exit(main())
