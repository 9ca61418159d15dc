"""A daemon whose first socket cannot be created (a shim refuses it, as a
process out of descriptors would) logs "create socket faile" once, creates
the socket anew after one wait and receives from its application within one
connect cycle."""

import argparse
import sys
import time

from zelk_testing.sim import SimSetup


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--shim", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--sanitize", default="")
    args = parser.parse_args()
    if args.wine or args.sanitize:
        # The shim is a Linux library, and a sanitizer's runtime must come
        # before any other preloaded one.
        print("socket retry: not applicable to this build")
        return 0
    with SimSetup(args.exe, args.sim, False) as setup:
        app = setup.add_app("retry", ["--handshake-interval", "1", "--train-interval", "0"])
        setup.start(daemon_env={"LD_PRELOAD": args.shim})
        started = time.monotonic()
        setup.run.wait_for("%s ==> Recv data ok!" % app.exe_name, 30)
        took = time.monotonic() - started
        assert took < 15, "received after %.1f s" % took
        setup.wait_log("create socket faile", 5)
        setup.stop_daemon(15)
        assert setup.log_text().count("create socket faile") == 1, setup.log_text()
        assert "socket error" not in setup.log_text(), setup.log_text()
        print("socket retry: connected %.1f s after the refused socket" % took)
    return 0


if __name__ == "__main__":
    sys.exit(main())
