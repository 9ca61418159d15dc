"""Strict readers of what the daemon writes beside its log: the event
journal's files, the status snapshot and the administrator events of a
Linux service run (standard error). Each returns what it read and a list of
failures, so that a long run can collect them and report them together.

The kinds of journal lines and of administrator events are read from the
tables the program is built from (src/journal/event.cpp and
src/supervision/include/supervision/admin_event_table.h), so a new kind
needs no change here."""

import datetime
import json
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))


def journal_kinds(root=ROOT):
    """{kind name: True for an application's kind} from the journal's table."""
    with open(os.path.join(root, "src", "journal", "event.cpp")) as f:
        rows = re.findall(r'\{EventKind::k\w+,\s*"(\w+)",\s*(true|false)', f.read())
    return {name: app == "true" for name, app in rows}


def admin_kinds(root=ROOT):
    """{id: (priority, compiled text pattern)} from the administrator events'
    table; the pattern's groups are the inserts in the order of %N."""
    path = os.path.join(root, "src", "supervision", "include", "supervision", "admin_event_table.h")
    with open(path) as f:
        rows = re.findall(r'^ZELK_ADMIN_EVENT\((\d+), (\w+), \w+, "[^"]*", "(.*)"\)', f.read(), re.M)
    priority = {"Error": 3, "Warning": 4, "Information": 6}
    kinds = {}
    for number, level, text in rows:
        parts = re.split(r"%(\d)", text)
        pattern = "".join(re.escape(part) if i % 2 == 0 else "(?P<i%s>.*?)" % part
                          for i, part in enumerate(parts))
        kinds[int(number)] = (priority[level], re.compile(pattern + "$", re.S))
    return kinds


# The journal's time: local, milliseconds and the offset.
JOURNAL_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$")
JOURNAL_FILE = re.compile(r"^zelk-events-(\d{4}-\d\d-\d\d)\.jsonl$")


def _reject_constant(name):
    raise ValueError("not JSON: %s" % name)


def check_journal(folder, apps, window):
    """Every line of every file in `folder` read with Python's json: an
    object with the time first and the event second, a known kind, an
    application's kinds naming one of `apps` ([(name, endpoint)] by index)
    exactly, times within `window` (seconds since the epoch, with a second's
    slack) and in order per application, each line in the file of its local
    day, the daemon's start once and its stop once, last. Returns
    ({kind: lines}, failures)."""
    kinds = journal_kinds()
    counts = {}
    failures = []
    records = []
    names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    for name in names:
        day = JOURNAL_FILE.match(name)
        if not day:
            failures.append("journal: stray file %s" % name)
            continue
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if not data.endswith(b"\n"):
            failures.append("journal: %s does not end with a line end" % name)
        for number, raw in enumerate(data.split(b"\n")[:-1], 1):
            where = "journal: %s line %d" % (name, number)
            try:
                pairs = json.loads(raw.decode("utf-8"), object_pairs_hook=lambda p: p,
                                   parse_constant=_reject_constant)
            except ValueError as error:
                failures.append("%s is not JSON (%s): %r" % (where, error, raw[:200]))
                continue
            problem = _journal_record_problem(pairs, kinds, apps, day.group(1))
            if problem:
                failures.append("%s: %s: %r" % (where, problem, raw[:200]))
                continue
            record = dict(pairs)
            counts[record["event"]] = counts.get(record["event"], 0) + 1
            records.append(record)
    failures += _journal_order_problems(records, window)
    return counts, failures


def _journal_record_problem(pairs, kinds, apps, file_day):
    if not isinstance(pairs, list) or [k for k, _ in pairs[:2]] != ["time", "event"]:
        return "not an object starting with time and event"
    record = dict(pairs)
    if len(record) != len(pairs):
        return "a field written twice"
    time_text, kind = record["time"], record["event"]
    if not isinstance(time_text, str) or not JOURNAL_TIME.match(time_text):
        return "time out of format"
    if time_text[:10] != file_day:
        return "in the file of another day"
    if kind not in kinds:
        return "unknown kind"
    if not kinds[kind]:
        return "the daemon's kind names an application" if "app" in record else None
    index = record.get("index")
    if type(index) is not int or not 0 <= index < len(apps):
        return "index out of range"
    if (record.get("app"), record.get("endpoint")) != apps[index]:
        return "app or endpoint is not the configured one"
    return None


def _journal_order_problems(records, window):
    failures = []
    last = {}
    for record in records:
        moment = datetime.datetime.fromisoformat(record["time"]).timestamp()
        if not window[0] - 1 <= moment <= window[1] + 1:
            failures.append("journal: %s outside the run" % record["time"])
        owner = record.get("index", -1)
        if moment < last.get(owner, moment):
            failures.append("journal: %s of %s before the line before it" % (
                record["time"], record.get("app", "the daemon")))
        last[owner] = moment
    kinds = [record["event"] for record in records]
    if kinds.count("daemon_started") != 1 or kinds.count("daemon_stopped") != 1:
        failures.append("journal: %d daemon_started and %d daemon_stopped lines" % (
            kinds.count("daemon_started"), kinds.count("daemon_stopped")))
    if not kinds or kinds[-1] != "daemon_stopped":
        failures.append("journal: the last line is %s, not daemon_stopped" % (
            kinds[-1] if kinds else "missing"))
    return failures


# The exposition format's pieces, as strict as the format allows.
METRIC_NAME = r"[a-zA-Z_:][a-zA-Z0-9_:]*"
LABEL = r'([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\\n]|\\[\\"n])*)"'
SAMPLE = re.compile(r"^(%s)(?:\{((?:%s)(?:,%s)*)\})? (\S+)(?: -?\d+)?$" % (METRIC_NAME, LABEL, LABEL))
COMMENT = re.compile(r"^# (HELP|TYPE) (%s) (.*)$" % METRIC_NAME)
NUMBER = re.compile(r"^(?:[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?|[+-]?Inf|NaN)$")


def _unescape_label(value):
    return re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), value)


def parse_exposition(data):
    """{(sample name, ((label, value), ...)): value} of a Prometheus text
    exposition, checked by hand: UTF-8, plain line feeds, every family's HELP
    and TYPE once and before its samples, which follow together and carry its
    name, well-formed labels and values, no series twice. Raises ValueError."""
    if not data.endswith(b"\n") or b"\r" in data:
        raise ValueError("line ends other than one line feed each")
    families = {}
    samples = {}
    current = None
    for number, line in enumerate(data.decode("utf-8").split("\n")[:-1], 1):
        comment = COMMENT.match(line)
        if comment:
            what, name, text = comment.groups()
            family = families.setdefault(name, {})
            if what in family or (what == "TYPE" and "HELP" not in family) or (
                    what == "HELP" and name in samples):
                raise ValueError("line %d: %s of %s out of place" % (number, what, name))
            if what == "TYPE" and text not in ("gauge", "counter", "untyped"):
                raise ValueError("line %d: type %r" % (number, text))
            family[what] = text
            current = name
            continue
        sample = SAMPLE.match(line)
        if not sample:
            raise ValueError("line %d is no sample: %r" % (number, line[:200]))
        name, labels, value = sample.group(1), sample.group(2), sample.group(7)
        if name != current or "TYPE" not in families.get(name, {}):
            raise ValueError("line %d: %s outside its family" % (number, name))
        if not NUMBER.match(value):
            raise ValueError("line %d: value %r" % (number, value))
        pairs = tuple((k, _unescape_label(v)) for k, v in re.findall(LABEL, labels or ""))
        if len({k for k, _ in pairs}) != len(pairs) or (name, pairs) in samples:
            raise ValueError("line %d: a label or a series twice" % number)
        samples[(name, pairs)] = float(value)
    return samples


def check_snapshot(data, apps):
    """The snapshot's samples read by hand (parse_exposition) and, where the
    interpreter has it, by Prometheus' own parser, which must agree; then the
    daemon's series and, for each metric, one series per application taken
    so far (the first zelk_apps_configured of `apps`, [(name, endpoint)] by
    index: the daemon adds them one by one as it starts), named as
    configured, with one state set. Returns ({(name, app index or None,
    extra label value): value}, failures)."""
    try:
        samples = parse_exposition(data)
    except (ValueError, UnicodeDecodeError) as error:
        return {}, ["snapshot: %s" % error]
    failures = []
    try:
        from prometheus_client.parser import text_string_to_metric_families
    except ImportError:
        text_string_to_metric_families = None
    if text_string_to_metric_families is not None:
        try:
            theirs = {(s.name, tuple(sorted(s.labels.items()))): s.value
                      for family in text_string_to_metric_families(data.decode("utf-8"))
                      for s in family.samples}
        except ValueError as error:
            return {}, ["snapshot: Prometheus' parser: %s" % error]
        if theirs != {(n, tuple(sorted(l))): v for (n, l), v in samples.items()}:
            failures.append("snapshot: Prometheus' parser reads other samples")
    values = {}
    for (name, labels), value in samples.items():
        labels = dict(labels)
        index = labels.pop("index", None)
        if index is not None:
            if not index.isdigit() or int(index) >= len(apps) or (
                    labels.pop("app", None), labels.pop("endpoint", None)) != apps[int(index)]:
                failures.append("snapshot: %s of %r is not a configured application" % (
                    name, index))
                continue
            index = int(index)
        values[(name, index, next(iter(labels.values()), None))] = value
    taken = int(values.get(("zelk_apps_configured", None, None), -1))
    if not 0 <= taken <= len(apps):
        failures.append("snapshot: %d applications taken" % taken)
    per_app = {}
    for (name, index, extra) in values:
        if index is not None:
            per_app.setdefault((name, extra), set()).add(index)
    for (name, extra), indices in per_app.items():
        if indices != set(range(taken)):
            failures.append("snapshot: %s %s for %d applications" % (name, extra or "",
                                                                     len(indices)))
    for index in range(taken):
        states = [v for (n, i, _), v in values.items() if n == "zelk_app_state" and i == index]
        if sorted(states) != [0.0] * (len(states) - 1) + [1.0]:
            failures.append("snapshot: application %d is not in exactly one state" % index)
    for name in ("zelk_daemon_start_time_seconds", "zelk_daemon_stop_time_seconds",
                 "zelk_status_write_time_seconds", "zelk_apps_configured", "zelk_config_loaded"):
        if (name, None, None) not in values:
            failures.append("snapshot: no %s" % name)
    return values, failures


ADMIN_LINE = re.compile(r"^<([0-7])>event (\d+): (.*)$", re.S)


def check_admin_events(lines, app_names):
    """The administrator events a Linux service wrote on standard error,
    each (arrival in seconds, line bytes with its line end), for the
    applications `app_names` (in config.xml's order): whole lines
    with the priority of their ID's level and the text of its row, no
    control character, the applications named as configured, at most one
    event of a kind per application a minute (held-back summaries apart),
    started once and stopped once, last. Returns ({id: count}, failures)."""
    kinds = admin_kinds()
    counts = {}
    failures = []
    last_said = {}
    order = []
    for arrival, raw in lines:
        text = raw.decode("utf-8", "replace")
        line = ADMIN_LINE.match(text[:-1]) if text.endswith("\n") else None
        kind = kinds.get(int(line.group(2))) if line else None
        if kind is None or int(line.group(1)) != kind[0]:
            failures.append("administrator event out of format: %r" % raw[:200])
            continue
        number = int(line.group(2))
        said = kind[1].match(line.group(3))
        if said is None or re.search(r"[\x00-\x1f\x7f]", line.group(3)):
            failures.append("administrator event %d: text not its row's: %r" % (number, raw[:200]))
            continue
        counts[number] = counts.get(number, 0) + 1
        order.append(number)
        if number == 1001 and said.group("i2") != str(len(app_names)):
            failures.append("administrator event 1001 counts %s applications" % said.group("i2"))
        if number < 2000:
            continue
        app = said.group("i1")
        if app not in app_names:
            failures.append("administrator event %d names %r" % (number, app))
        if arrival - last_said.get((number, app), -1e9) < 55:
            failures.append("administrator event %d for %s twice within a minute" % (number, app))
        last_said[(number, app)] = arrival
    if order.count(1001) != 1 or order.count(1002) != 1 or order.count(1003) != 1:
        failures.append("administrator events: started %d, stopping %d, stopped %d times" % (
            order.count(1001), order.count(1002), order.count(1003)))
    elif order[-1] != 1003:
        failures.append("administrator events: the last is %d, not 1003" % order[-1])
    return counts, failures
