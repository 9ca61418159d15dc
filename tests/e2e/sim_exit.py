"""Slow, with the product's timings: a simulated application exits; its
connection fails once a second, and at the 20th failure the daemon launches
it again, at the 31st it connects anew, and data arrives once more."""

import sys

from zelk_testing.sim import SimSetup, parse_args


def main():
    args = parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        # Every instance exits 25 s after its start: long enough for the
        # daemon to connect to the relaunched one 11 s after the launch.
        app = setup.add_app("exit", ["--handshake-interval", "1", "--train-interval", "0", "--exit-after", "25"])
        setup.start()
        name = app.exe_name
        setup.run.wait_for("%s ==> Recv data ok!" % name, 30)
        app.wait_event("exiting now", 60)
        setup.wait_log("%s recv data failure 0" % name, 15)
        setup.wait_log("%s recv data failure 20, try open process" % name, 40)
        setup.wait_log("Create Process success:", 10)
        setup.wait_log("recv data failure, goto loop", 30)
        after_launch = setup.run.text().find("CreateProcess:")
        setup.run.wait_for("%s ==> Recv data ok!" % name, 30, after_launch)
        app.wait_event("connection 1 accepted", 10, count=2)
        text = setup.log_text()
        # Nothing was left to terminate at the 11th failure.
        assert "Terminate Process" not in text, text
        took = setup.stop_daemon(15)
        assert took < 8, "stopping took %.1f s" % took
        print("sim exit: relaunched and reconnected")


if __name__ == "__main__":
    sys.exit(main())
