"""The monitoring bundle agrees with itself and with the rest of the
product: every alert carries a severity and its two annotations, is tested
firing and quiet, and has a runbook entry; the restart storm starts where
zelkctl's "flapping" does; the dashboard is importable (its data source an
input) and draws each state in the palette's colour with its glyph, from
the same number its query gives that state."""

import glob
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
BUNDLE = os.path.join(ROOT, "monitoring")

# The palette: state -> (colour, glyph).
PALETTE = {
    "connected": ("#009E73", "="),
    "connecting": ("#56B4E9", "-"),
    "silent": ("#F0E442", "~"),
    "failing": ("#E69F00", "!"),
    "down": ("#D55E00", "X"),
    "not_watched": ("#CC79A7", "?"),
}
DAEMON_OFF = "#999999"


def load_yaml(path):
    with open(path) as f:
        return yaml.safe_load(f)


def rules():
    return [r for g in load_yaml(os.path.join(BUNDLE, "zelk.rules.yml"))["groups"] for r in g["rules"]]


def alerts():
    return [r for r in rules() if "alert" in r]


class RulesTest(unittest.TestCase):
    def test_every_alert_has_a_severity_and_both_annotations(self):
        for rule in alerts():
            with self.subTest(alert=rule["alert"]):
                self.assertIn(rule.get("labels", {}).get("severity"), ("critical", "warning"))
                annotations = rule.get("annotations", {})
                self.assertTrue(annotations.get("summary", "").strip())
                self.assertTrue(annotations.get("description", "").strip())

    def test_every_alert_is_tested_firing_and_quiet(self):
        tests = load_yaml(os.path.join(HERE, "zelk.rules.test.yml"))["tests"]
        cases = [c for t in tests for c in t.get("alert_rule_test", [])]
        for rule in alerts():
            name = rule["alert"]
            with self.subTest(alert=name):
                mine = [c for c in cases if c["alertname"] == name]
                self.assertTrue(any(c.get("exp_alerts") for c in mine), "never tested firing")
                self.assertTrue(any(not c.get("exp_alerts") for c in mine), "never tested quiet")

    def test_every_alert_has_a_runbook_entry(self):
        with open(os.path.join(BUNDLE, "README.md")) as f:
            headings = re.findall(r"^### (\w+)", f.read(), re.M)
        self.assertEqual(sorted(headings), sorted(r["alert"] for r in alerts()))

    def test_restart_storm_starts_where_zelkctl_says_flapping(self):
        storm = next(r for r in alerts() if r["alert"] == "ZelkAppRestartStorm")
        threshold = int(re.search(r"zelk_app_restarts_last_hour >= (\d+)", storm["expr"]).group(1))
        found = []
        for path in glob.glob(os.path.join(ROOT, "src", "**", "*.h"), recursive=True):
            with open(path) as f:
                found += re.findall(r"kFlappingRestarts = (\d+);", f.read())
        self.assertEqual([threshold], [int(n) for n in found])


def dashboard():
    with open(os.path.join(BUNDLE, "zelk-dashboard.json")) as f:
        return json.load(f)


def datasources(node):
    """Every datasource object anywhere in the dashboard."""
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "datasource":
                yield value
            else:
                yield from datasources(value)
    elif isinstance(node, list):
        for item in node:
            yield from datasources(item)


def state_codes(expr):
    """{state: the number the expression gives it}; a bare selector is 1."""
    codes = {}
    for factor, state in re.findall(r'(?:(\d+) \* )?zelk_app_state\{[^}]*state="(\w+)"\}', expr):
        codes[state] = int(factor or 1)
    return codes


class DashboardTest(unittest.TestCase):
    def test_the_data_source_is_an_input_of_the_import(self):
        board = dashboard()
        inputs = board["__inputs"]
        self.assertEqual([(i["name"], i["type"], i["pluginId"]) for i in inputs],
                         [("DS_PROMETHEUS", "datasource", "prometheus")])
        used = list(datasources({k: v for k, v in board.items() if k != "__inputs"}))
        self.assertTrue(used)
        for source in used:
            self.assertEqual(source, {"type": "prometheus", "uid": "${DS_PROMETHEUS}"})

    def test_panels_have_their_own_ids_and_a_station_variable(self):
        board = dashboard()
        ids = [p["id"] for p in board["panels"]]
        self.assertEqual(len(ids), len(set(ids)))
        self.assertEqual([v["name"] for v in board["templating"]["list"]], ["station"])

    def test_states_are_drawn_in_the_palette_from_the_numbers_the_queries_give(self):
        checked = 0
        for panel in dashboard()["panels"]:
            # The value mappings of the panel, and of each of its columns.
            sets = [panel["fieldConfig"]["defaults"].get("mappings", [])]
            for override in panel["fieldConfig"].get("overrides", []):
                sets += [p["value"] for p in override["properties"] if p["id"] == "mappings"]
            tables = [{int(k): v for m in s if m["type"] == "value" for k, v in m["options"].items()}
                      for s in sets]
            for target in panel.get("targets", []):
                codes = state_codes(target["expr"])
                if not codes:
                    continue
                checked += 1
                with self.subTest(panel=panel["title"], ref=target["refId"]):
                    self.assertEqual(sorted(codes), sorted(PALETTE))
                    drawn = [t for t in tables if set(codes.values()) <= set(t)]
                    self.assertEqual(len(drawn), 1, "one value mapping for the states")
                    by_code = drawn[0]
                    for state, code in codes.items():
                        colour, glyph = PALETTE[state]
                        self.assertEqual(by_code[code]["color"], colour, state)
                        self.assertEqual(by_code[code]["text"],
                                         "%s %s" % (glyph, state.replace("_", " ")))
                    off = re.search(r"(\d+) \* group by", target["expr"])
                    if off:
                        self.assertEqual(by_code[int(off.group(1))]["color"], DAEMON_OFF)
        self.assertGreaterEqual(checked, 2, "the state lanes and the state column")


def now_query(ref, table=": now"):
    """The expression of column `ref` of the "now" table (or another one of
    the station's), for station "s"."""
    panel = next(p for p in dashboard()["panels"] if p["title"].endswith(table))
    expr = next(t["expr"] for t in panel["targets"] if t["refId"] == ref)
    return expr.replace("$station", "s")


class DashboardQueriesTest(unittest.TestCase):
    """The "now" table's own queries, run by promtool with the rules: a
    station that stopped writing shows "daemon off", not its last states, and
    the time since a message is taken on the station's clock, five minutes
    behind the server's here."""

    def run_promtool(self, tests):
        promtool = shutil.which("promtool")
        if promtool is None:
            self.skipTest("no promtool")
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "now.test.yml")
            with open(path, "w") as f:
                yaml.safe_dump({"rule_files": [os.path.join(BUNDLE, "zelk.rules.yml")],
                                "evaluation_interval": "15s", "tests": tests}, f)
            result = subprocess.run([promtool, "test", "rules", path], capture_output=True,
                                    text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_state_and_last_message(self):
        app = 'job="node",instance="s",app="a",index="0",endpoint="e0"'
        stopped = [
            {"series": 'zelk_status_write_time_seconds{job="node",instance="s"}',
             "values": "0+60x2 120x20"},
            {"series": "zelk_app_state{%s,state=\"connected\"}" % app, "values": "1x22"},
            {"series": "zelk_app_state{%s,state=\"down\"}" % app, "values": "0x22"},
        ]
        behind = [
            {"series": 'node_time_seconds{job="node",instance="s"}', "values": "-300+60x22"},
            {"series": 'zelk_status_write_time_seconds{job="node",instance="s"}',
             "values": "-300+60x22"},
            {"series": "zelk_app_last_message_time_seconds{%s}" % app, "values": "-301+60x22"},
        ]
        sample = '{instance="s",index="0",app="a",endpoint="e0"}'
        self.run_promtool([
            {"name": "daemon off", "interval": "1m", "input_series": stopped,
             "promql_expr_test": [{"expr": now_query("A"), "eval_time": "10m",
                                   "exp_samples": [{"labels": sample, "value": 7}]}]},
            {"name": "last message on the station's clock", "interval": "1m",
             "input_series": behind,
             "promql_expr_test": [{"expr": now_query("B"), "eval_time": "10m",
                                   "exp_samples": [{"labels": '{instance="s",index="0",'
                                                              'app="a",endpoint="e0"}',
                                                    "value": 1}]}]},
        ])

    def test_maintenance_names_who_why_and_until_when(self):
        app = 'job="node",instance="s",app="a",index="0",endpoint="e0"'
        other = 'job="node",instance="s",app="b",index="1",endpoint="e1"'
        paused = [
            {"series": 'zelk_app_maintenance_info{%s,by="tech",reason="update"}' % app,
             "values": "1x5"},
            {"series": "zelk_app_maintenance_until_time_seconds{%s}" % app, "values": "3600x5"},
            {"series": "zelk_app_maintenance_until_time_seconds{%s}" % other, "values": "0x5"},
        ]
        self.run_promtool([
            {"name": "maintenance", "interval": "1m", "input_series": paused,
             "promql_expr_test": [{"expr": now_query("A", ": in maintenance"), "eval_time": "2m",
                                   "exp_samples": [{"labels": '{instance="s",index="0",app="a",'
                                                              'endpoint="e0",by="tech",'
                                                              'reason="update"}',
                                                    "value": 3600000}]}]},
        ])


if __name__ == "__main__":
    unittest.main(verbosity=2)
