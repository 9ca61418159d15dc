"""A reload of config.xml while two simulated applications are watched: one
application's port moved (it is paused and stays paused) and one added.
The untouched application's simulator sees no second connection, the moved
one is watched on its new port, the added one is connected. A dry run and a
file the check refuses change nothing; the journal records the reloads."""

import os
import subprocess
import sys
import time

from zelk_testing.sim import SimSetup, free_port, parse_args


def control(setup, zelkctl, *arguments):
    config = setup.native(os.path.join(setup.run.folder, "config.xml"))
    prefix = ["wine"] if setup.wine else []
    result = subprocess.run(prefix + [zelkctl] + list(arguments) + ["--config", config],
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=setup.run_env(), timeout=90)
    return (result.returncode, result.stdout.decode("utf-8", "replace"),
            result.stderr.decode("utf-8", "replace"))


def main():
    args = parse_args()
    healthy = ["--handshake-interval", "1", "--train-interval", "0"]
    with SimSetup(args.exe, args.sim, args.wine) as setup:
        setup.journal_folder = os.path.join(setup.run.folder, "journal")
        kept = setup.add_app("kept", healthy)
        moved = setup.add_app("moved", healthy)
        setup.start()
        for app in (kept, moved):
            setup.run.wait_for("%s ==> Recv data ok!" % app.exe_name, 30)
        rc, out, err = control(setup, args.zelkctl, "pause", moved.exe_name, "--reason", "move")
        assert rc == 0, (rc, out, err)

        # The moved application: a second instance listening on a new port.
        moved.port = free_port()
        moved.log = moved.log + ".moved"
        moved.start()
        added = setup.add_app("added", healthy)
        added.start()
        setup.write_config()

        rc, out, err = control(setup, args.zelkctl, "reload", "--dry-run")
        assert rc == 0 and "would reload: changed %s, added %s" % (
            moved.exe_name, added.exe_name) in out, (rc, out, err)
        assert "changed  %s (path, port)" % moved.exe_name in out, out
        time.sleep(4)
        assert "accepted" not in moved.events() + added.events(), "the dry run changed something"

        started = time.monotonic()
        rc, out, err = control(setup, args.zelkctl, "reload")
        took = time.monotonic() - started
        assert rc == 0 and "config.xml reloaded" in out, (rc, out, err)
        moved.wait_event("connection 1 accepted", 30)
        added.wait_event("connection 1 accepted", 30)

        # Not a config.xml the check lets through: two applications on one port.
        good = open(os.path.join(setup.run.folder, "config.xml")).read()
        added.port = kept.port
        setup.write_config()
        rc, out, err = control(setup, args.zelkctl, "reload")
        assert rc == 1 and "not reloaded" in err, (rc, out, err)
        with open(os.path.join(setup.run.folder, "config.xml"), "w") as f:
            f.write(good)

        rc, out, err = control(setup, args.zelkctl, "resume", moved.exe_name)
        assert rc == 0 and "resumed" in out, ("the pause did not outlive the reload", rc, out, err)
        time.sleep(4)
        assert kept.events().count("accepted") == 1, kept.events()
        setup.stop_daemon(15)

        reloads = [(e["action"], e["ok"]) for e in setup.journal()
                   if e["event"] == "control" and e["action"].startswith("reload")]
        assert reloads == [("reload_dry_run", True), ("reload", True), ("reload", False)], reloads
        print("control reload: one application moved, one added, the other's connection "
              "untouched; the reload took %.1f s" % took)


if __name__ == "__main__":
    sys.exit(main())
