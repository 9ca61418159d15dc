#!/usr/bin/env python3
"""Writes the benchmark corpora, the same bytes on every run.

  config.xml        about 100 KB shaped like the supervisor's configuration
  train.xml         a train message of about 4 KB with 50 "vagen" elements
  attr.xml          about 50 MB of empty elements carrying many attributes
  text.xml          about 50 MB of paragraphs with entity and character references
  deep.xml          elements nested 10,000 deep
  deep_1m.xml       elements nested 1,000,000 deep (survival check only)
  text_utf16le.xml  a text-heavy document of about 50 MB in UTF-16LE with a mark

Usage: gen_corpora.py [output folder]   (default: build/bench/corpora)
Files that already exist with the expected size and checksum are kept.
"""

import hashlib
import json
import os
import random
import sys

MB = 1024 * 1024
WORDS = ("signal track axle bogie wheel sensor frame camera station platform switch "
         "brake coach wagon freight load speed north south gauge rail sleeper ballast "
         "detector profile image record trigger offset").split()
ACCENTED = ["caf\u00e9", "gr\u00fc\u00dfe", "na\u00efve", "\u00e5ngstr\u00f6m"]


def config_like():
    rnd = random.Random(101)
    out = ['<?xml version="1.0" encoding="UTF-8"?>\n',
           "<!-- Supervised applications of the station -->\n", "<config>\n"]
    size = sum(map(len, out))
    n = 0
    while size < 100 * 1000:
        n += 1
        name = "app%03d.exe" % n
        part = ['  <app name="%s" path="C:\\Trackside\\bin\\%s">\n' % (name, name),
                '    <socket ip="127.0.0.1" port="%d"/>\n' % (7000 + n),
                '    <subApp name="sub%03d" startPath="C:\\Trackside\\sub\\install%03d.bat" '
                'stopPath="C:\\Trackside\\sub\\uninstall%03d.bat">\n' % (n, n, n)]
        for k in range(rnd.randint(4, 12)):
            part.append("      <fileMonitor>D:\\results\\%s\\%s%02d\\</fileMonitor>\n"
                        % (name[:-4], rnd.choice(WORDS), k))
        part.append("      <picMonitor>D:\\pictures\\%s\\</picMonitor>\n" % name[:-4])
        part.append("    </subApp>\n  </app>\n")
        if n % 7 == 0:
            part.append("  <!-- group %d ends here -->\n" % (n // 7))
        s = "".join(part)
        out.append(s)
        size += len(s)
    out.append("</config>\n")
    return "".join(out).encode("utf-8")


def train_message():
    rnd = random.Random(202)
    out = ['<train station="Nordkreuz" track="2" direction="north">',
           "<time>2026-12-08 14:03:27</time><speed>87.5</speed><axles>200</axles>"]
    for i in range(1, 51):
        out.append('<vagen id="%d" type="%s"><serial>%s%08d</serial><axles>4</axles></vagen>'
                   % (i, rnd.choice(["coach", "freight", "loco", "tank"]),
                      rnd.choice(["SN", "RW", "DB"]), rnd.randrange(10 ** 8)))
    out.append("</train>")
    text = "".join(out)
    return text.encode("utf-8")


def attribute_heavy(target):
    rnd = random.Random(303)
    out = ['<?xml version="1.0"?>\n<measurements site="Nordkreuz">\n']
    size = len(out[0])
    batch = 0
    while size < target:
        batch += 1
        part = ['<batch n="%d" sensor="s%02d">\n' % (batch, batch % 37)]
        for i in range(200):
            part.append('  <m id="%d" axle="%d" t="%d.%03d" load="%d.%d" speed="%d" '
                        'side="%s" state="%s" q="%d"/>\n'
                        % (batch * 200 + i, rnd.randrange(1, 400), rnd.randrange(86400),
                           rnd.randrange(1000), rnd.randrange(4000), rnd.randrange(10),
                           rnd.randrange(40, 160), rnd.choice("LR"),
                           rnd.choice(["ok", "warn", "fault", "unknown"]), rnd.randrange(100)))
        part.append("</batch>\n")
        s = "".join(part)
        out.append(s)
        size += len(s)
    out.append("</measurements>\n")
    return "".join(out)


def sentence(rnd):
    words = []
    for _ in range(rnd.randint(8, 24)):
        r = rnd.random()
        if r < 0.06:
            words.append(rnd.choice(["&amp;", "&lt;", "&gt;", "&quot;", "&apos;"]))
        elif r < 0.08:
            words.append(rnd.choice(["&#233;", "&#xE9;", "&#8364;", "&#x263A;"]))
        elif r < 0.10:
            words.append(rnd.choice(ACCENTED))
        else:
            words.append(rnd.choice(WORDS))
    return " ".join(words).capitalize() + "."


def text_heavy(target, seed):
    rnd = random.Random(seed)
    out = ['<?xml version="1.0"?>\n<report>\n']
    size = len(out[0])
    section = 0
    while size < target:
        section += 1
        part = ["<section>\n<title>Section %d</title>\n" % section]
        for _ in range(rnd.randint(10, 30)):
            part.append("<p>%s</p>\n" % " ".join(sentence(rnd) for _ in range(rnd.randint(2, 8))))
        part.append("</section>\n")
        s = "".join(part)
        out.append(s)
        size += len(s.encode("utf-8"))
    out.append("</report>\n")
    return "".join(out)


def deep(levels):
    return ("<d>" * levels + "bottom" + "</d>" * levels).encode("ascii")


CORPORA = {
    "config.xml": lambda: config_like(),
    "train.xml": lambda: train_message(),
    "attr.xml": lambda: attribute_heavy(50 * MB).encode("utf-8"),
    "text.xml": lambda: text_heavy(50 * MB, 404).encode("utf-8"),
    "deep.xml": lambda: deep(10000),
    "deep_1m.xml": lambda: deep(1000000),
    "text_utf16le.xml": lambda: b"\xff\xfe" + text_heavy(25 * MB, 505).encode("utf-16-le"),
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join("build", "bench", "corpora")
    os.makedirs(folder, exist_ok=True)
    stamp_path = os.path.join(folder, "checksums.json")
    try:
        with open(stamp_path) as f:
            stamps = json.load(f)
    except (OSError, ValueError):
        stamps = {}
    for name, make in CORPORA.items():
        path = os.path.join(folder, name)
        if name in stamps and os.path.exists(path) and os.path.getsize(path) == stamps[name]["size"]:
            print("%-18s %11d bytes (kept)" % (name, stamps[name]["size"]))
            continue
        data = make()
        with open(path, "wb") as f:
            f.write(data)
        stamps[name] = {"size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
        print("%-18s %11d bytes" % (name, len(data)))
    with open(stamp_path, "w") as f:
        json.dump(stamps, f, indent=1, sort_keys=True)


if __name__ == "__main__":
    main()
