"""zelkctl status against a live daemon with the status enabled: exit 0 while
the application is connected and the snapshot fresh, 1 once the application
has gone (its reads fail), 2 as soon as the daemon has stopped (its last
snapshot says when) or has been killed, 3 when there is no snapshot at all."""

import argparse
import os
import sys
import time

from zelk_testing.sim import SimSetup
from zelk_testing.tool_process import ToolProcess


def wait_for_exit_code(status, code, timeout, needle=""):
    deadline = time.monotonic() + timeout
    while True:
        got, output = status()
        if got == code and needle in output:
            return output
        assert time.monotonic() < deadline, "zelkctl status gave %d, not %d, for %d s:\n%s" % (
            got, code, timeout, output)
        time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--zelkctl", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        setup.status_folder = os.path.join(setup.run.folder, "status")
        os.makedirs(setup.status_folder)
        app = setup.add_app("zs", ["--handshake-interval", "0.5", "--train-interval", "0",
                                   "--exit-after", "12"])
        setup.start()
        tool = ToolProcess(args.zelkctl, args.wine)
        config = tool.path(os.path.join(setup.run.folder, "config.xml"))

        def status():
            result = tool.run("status", "--config", config)
            return result.returncode, result.stdout.decode("latin-1") + result.stderr.decode("latin-1")

        # The first snapshots may come before the application's record.
        output = wait_for_exit_code(status, 0, 30, app.exe_name)
        assert "connected" in output, output
        output = wait_for_exit_code(status, 1, 40)
        assert "failing" in output, output

        setup.stop_daemon(30)
        wait_for_exit_code(status, 2, 5, "the daemon stopped at")
        # A daemon killed without its stop: told at once on its own host, not
        # after the snapshot has grown stale.
        mark = len(setup.run.text())
        setup.run.start()
        setup.run.wait_for("=======================start=====================", 60 if args.wine else 15,
                           mark)
        wait_for_exit_code(status, 1, 30, "up ")
        setup.run.kill()
        wait_for_exit_code(status, 2, 5, "daemon not running (process ")
        os.remove(os.path.join(setup.status_folder, "zelk.prom"))
        wait_for_exit_code(status, 3, 5)
        print("zelkctl status: 0 connected, 1 application gone, 2 daemon stopped or killed, 3 no snapshot")


if __name__ == "__main__":
    sys.exit(main())
