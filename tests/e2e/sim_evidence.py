"""Slow, with the product's timings: a simulated application falls silent,
and before the daemon terminates it a dump of it is written to the evidence
folder with a note beside it that holds its last message. The journal has
the dump's line before the termination's, the termination is still made,
and zelkctl evidence lists the dump. Natively gdb reads the core (the test
skips that part when gdb is absent, and then expects no dump and the
termination all the same); under Wine a reader of the documented minidump
format opens it and finds the simulator among its modules and threads."""

import json
import os
import shutil
import struct
import subprocess
import sys

from zelk_testing.sim import SimSetup, parse_args


def read_minidump(path):
    """The module names and the number of threads of a minidump, as the
    format is documented: the header ("MDMP", stream count, directory), the
    module list (stream 4) and the thread list (stream 3)."""
    with open(path, "rb") as f:
        data = f.read()
    signature, _, streams, directory = struct.unpack_from("<4sIII", data, 0)
    assert signature == b"MDMP", signature
    modules, threads = [], 0
    for i in range(streams):
        kind, size, at = struct.unpack_from("<III", data, directory + 12 * i)
        if kind == 3:
            threads = struct.unpack_from("<I", data, at)[0]
        elif kind == 4:
            count = struct.unpack_from("<I", data, at)[0]
            for m in range(count):
                # MINIDUMP_MODULE is 108 bytes; its name's RVA is at offset 20.
                name_at = struct.unpack_from("<I", data, at + 4 + 108 * m + 20)[0]
                length = struct.unpack_from("<I", data, name_at)[0]
                modules.append(data[name_at + 4:name_at + 4 + length].decode("utf-16-le", "replace"))
    return modules, threads


def main():
    args = parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        setup.journal_folder = os.path.join(setup.run.folder, "journal")
        setup.evidence_folder = os.path.join(setup.run.folder, "evidence")  # made by the daemon
        # 20 s of handshakes: a cold Wine prefix may take 10 s to start the
        # daemon, and an application silent before its first message is a
        # connecting one, which takes no dump.
        app = setup.add_app("evidence", ["--handshake-interval", "1", "--train-interval", "0",
                                         "--silent-after", "20"])
        setup.start()
        name = app.exe_name
        app.wait_event("falling silent", 60)
        setup.wait_log("recv data time out, try close process:%s" % name, 120)
        setup.wait_log("Terminate Process success:%s" % name, 60)
        setup.stop_daemon(15)

        gdb = shutil.which("gdb") if not args.wine else None
        journal = setup.journal()
        kinds = [e["event"] for e in journal if e.get("app") == name]
        assert "evidence" in kinds and kinds.index("evidence") < kinds.index("terminated"), kinds
        evidence = next(e for e in journal if e["event"] == "evidence")
        terminated = next(e for e in journal if e["event"] == "terminated")
        assert terminated["processes"] == 1, terminated
        if not args.wine and gdb is None:
            assert evidence["outcome"] == "not_available", evidence
            print("sim evidence: no gdb, no dump, terminated all the same")
            return 0
        assert evidence["outcome"] == "written", evidence
        assert evidence["bytes"] > 0, evidence

        files = sorted(os.listdir(setup.evidence_folder))
        dumps = [f for f in files if f.endswith(".dmp")]
        assert len(dumps) == 1 and dumps[0][:-4] + ".txt" in files, files
        dump = os.path.join(setup.evidence_folder, dumps[0])
        with open(dump[:-4] + ".txt", encoding="utf-8") as f:
            note_text = f.read()
        print("note:\n" + note_text + "journal: %s" % json.dumps(evidence))
        note = dict(line.split(": ", 1) for line in note_text.splitlines() if ": " in line)
        assert note["application"] == name, note
        assert note["cycle"] == "silent 30", note
        assert "</handshake>" in note["last message"], note
        assert note["last message at"] != "none", note
        assert evidence["path"].endswith(dumps[0]), (evidence, dumps)

        if args.wine:
            modules, threads = read_minidump(dump)
            assert any(m.lower().endswith(name.lower()) for m in modules), modules
            assert threads > 0
        else:
            bt = subprocess.run([gdb, "-batch", "-ex", "bt", args.sim, dump],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=120).stdout.decode("utf-8", "replace")
            assert "#0" in bt and "main" in bt, bt

        if args.zelkctl:
            listing = setup.zelkctl(args.zelkctl, "evidence", "--folder",
                                    setup.native(setup.evidence_folder), "--app", name)
            assert dumps[0] in listing and "silent 30" in listing, listing
            print("zelkctl evidence:\n" + listing)
        print("sim evidence: dumped before the termination, note, journal line, listed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
