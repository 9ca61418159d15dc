"""Slow, with the product's timings: maintenance through the control channel.
The simulator's silent application is paused with zelkctl and passes the
silence that would terminate it untouched; a request from an unprivileged
user is refused; once resumed, the application is terminated one whole
silent cycle later; a second pause outlives a restart of the daemon. The
journal records every request."""

import os
import subprocess
import sys
import time

from zelk_testing.sim import SimSetup, parse_args

SILENT_CYCLE_S = 90  # 30 waits of 3 s


def control(setup, zelkctl, *arguments, user=None):
    config = setup.native(os.path.join(setup.run.folder, "config.xml"))
    prefix = ["wine"] if setup.wine else []
    if user:
        prefix = ["setpriv", "--reuid", user, "--regid", "nogroup", "--clear-groups"]
    result = subprocess.run(prefix + [zelkctl] + list(arguments) + ["--config", config],
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=setup.run_env(), timeout=60)
    return (result.returncode, result.stdout.decode("utf-8", "replace"),
            result.stderr.decode("utf-8", "replace"))


def main():
    args = parse_args()
    with SimSetup(args.exe, args.sim, args.wine) as setup:
        setup.journal_folder = os.path.join(setup.run.folder, "journal")
        # It must still talk when the watchdog first connects: under Wine the
        # console daemon takes some 10 s to start.
        silent_after = "30" if setup.wine else "5"
        app = setup.add_app("paused", ["--handshake-interval", "1", "--train-interval", "0",
                                       "--silent-after", silent_after])
        setup.start()
        name = app.exe_name
        setup.run.wait_for("%s ==> Recv data ok!" % name, 30)

        rc, out, err = control(setup, args.zelkctl, "pause", name, "--reason", "e2e maintenance",
                               "--for", "1h")
        assert rc == 0 and "paused until" in out, (rc, out, err)
        rc, out, err = control(setup, args.zelkctl, "pause", "no_such_app", "--reason", "x")
        assert rc == 1 and "no application named" in err, (rc, out, err)

        if not setup.wine and os.geteuid() == 0:
            os.chmod(setup.run.folder, 0o755)  # nobody may reach the socket file itself
            rc, out, err = control(setup, args.zelkctl, "resume", name, user="nobody")
            assert rc in (1, 2) and ("administrator" in err or "refused" in err), (rc, out, err)

        app.wait_event("falling silent", 60)
        time.sleep(SILENT_CYCLE_S + 15)
        text = setup.log_text()
        assert "try close process:%s" % name not in text, text
        assert "try open process:%s" % name not in text, text

        rc, out, err = control(setup, args.zelkctl, "resume", name)
        assert rc == 0 and "resumed" in out, (rc, out, err)
        resumed = time.monotonic()
        setup.wait_log("recv data time out, try close process:%s" % name, SILENT_CYCLE_S + 60)
        took = time.monotonic() - resumed
        assert took > SILENT_CYCLE_S - 15, "terminated %.0f s after the resume" % took

        # A pause outlives the daemon: kept in control.state, restored at the start.
        rc, out, err = control(setup, args.zelkctl, "pause", name, "--reason", "kept")
        assert rc == 0, (rc, out, err)
        setup.stop_daemon(15)
        assert os.path.exists(os.path.join(setup.run.folder, "control.state"))
        offset = len(setup.run.text())
        setup.run.start()
        setup.run.wait_for("=======================start=====================", 60, offset)
        time.sleep(2)
        rc, out, err = control(setup, args.zelkctl, "resume", name)
        assert rc == 0 and "resumed" in out, (rc, out, err)
        setup.stop_daemon(15)

        controls = [e for e in setup.journal() if e["event"] == "control"]
        actions = [(e["action"], e["ok"]) for e in controls]
        assert ("pause", True) in actions and ("resume", True) in actions, controls
        assert ("pause", False) in actions and ("pause_kept", True) in actions, controls
        pause = next(e for e in controls if e["action"] == "pause" and e["ok"])
        assert pause["reason"] == "e2e maintenance" and pause["by"] and pause["until"], pause
        print("control pause: untouched while paused, kept across a restart, terminated "
              "%.0f s after the resume" % took)


if __name__ == "__main__":
    sys.exit(main())
