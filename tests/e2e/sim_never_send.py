"""Slow, with the product's timings: a simulated application accepts the
connection but never sends. The watchdog stays connecting; at the 10th
3-second time-out it terminates the application, whose closed connection
then fails once a second until the daemon launches it again (20th failure)
and connects anew (31st), connecting from a count of 0 once more."""

import sys

from zelk_testing.sim import SimSetup, parse_args


def main():
    args = parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        app = setup.add_app("mute", ["--handshake-interval", "1", "--train-interval", "0", "--never-send"])
        setup.start()
        name = app.exe_name
        app.wait_event("connection 1 accepted", 30)
        setup.wait_log("%s CONNECTING 127.0.0.1 0count" % name, 15)
        setup.wait_log("%s CONNECTING 127.0.0.1 9count" % name, 40)
        setup.wait_log("connect time out, try close process:%s" % name, 10)
        setup.wait_log("Terminate Process success:%s" % name, 10)
        setup.wait_log("%s recv data failure 20, try open process" % name, 40)
        setup.wait_log("Create Process success:", 10)
        app.wait_event("listening on", 60, count=2)
        setup.wait_log("recv data failure, goto loop", 30)
        app.wait_event("connection 1 accepted", 15, count=2)
        setup.wait_log("%s CONNECTING 127.0.0.1 0count" % name, 15, count=2)
        assert "Recv data ok" not in setup.run.text(), setup.run.text()
        took = setup.stop_daemon(15)
        assert took < 8, "stopping took %.1f s" % took
        print("sim never-send: terminated while connecting, relaunched, connecting again")


if __name__ == "__main__":
    sys.exit(main())
