#!/usr/bin/env python3
"""Checks that docs/events.md, where administrators look up the event IDs
they set triggers on, lists exactly the events of the table the program and
the message file are built from (src/supervision/include/supervision/admin_event_table.h),
each with its level. Changes nothing; exit code 1 and the differences when
they disagree.

Run from the repository root: python3 scripts/check_event_docs.py
"""
import re
import sys

TABLE = "src/supervision/include/supervision/admin_event_table.h"
DOCS = "docs/events.md"

table = {int(i): level.lower()
         for i, level in re.findall(r"^ZELK_ADMIN_EVENT\((\d+), (\w+),", open(TABLE).read(), re.M)}
docs = {int(i): level
        for i, level in re.findall(r"^\| (\d{4}) \| (\w+) \|", open(DOCS).read(), re.M)}
if not table or table != docs:
    for event_id in sorted(set(table) | set(docs)):
        if table.get(event_id) != docs.get(event_id):
            print("event %d: table %s, %s %s" % (event_id, table.get(event_id), DOCS,
                                                 docs.get(event_id)), file=sys.stderr)
    sys.exit(1)
