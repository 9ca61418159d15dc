"""Two healthy simulated applications: heartbeats and trains whose result
files match, so no file search is retried, no command runs and no process is
touched; then a stop while they are active ends every watchdog thread within
a few seconds."""

import re
import sys

from zelk_testing.sim import SimSetup, parse_args


def main():
    args = parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        first = setup.add_app("hs_a", ["--handshake-interval", "1", "--train-interval", "4"])
        second = setup.add_app("hs_b", ["--handshake-interval", "0.5", "--train-interval", "3",
                                        "--pictures", "4", "--vehicles", "8"])
        setup.start()
        for app in (first, second):
            setup.wait_log("%s recv train date:" % app.exe_name, 60, count=2)
        text = setup.log_text()
        for app in (first, second):
            keys = re.findall(r"%s recv train date:(\d+)" % re.escape(app.exe_name), text)
            assert len(keys) >= 2 and all(len(k) == 14 for k in keys), keys
            assert "train %s: wrote" % keys[0] in app.events(), app.events()
        for unexpected in ("try find pic", "try find xml", "find pic count", "uninstall:", "install:",
                           "Terminate Process", "Create Process", "goto loop", "try close process"):
            assert unexpected not in text, "%r in the log:\n%s" % (unexpected, text)

        # Stop while both applications keep sending and trains are handled.
        took = setup.stop_daemon(15)
        assert took < 8, "stopping took %.1f s" % took
        assert setup.run.text().count("thead exit") == 2, setup.run.text()
        lines = setup.run.log_lines()
        exits = [i for i, line in enumerate(lines) if line[3] == "Thread exit!"]
        over = [i for i, line in enumerate(lines) if line[3] == "stop Server thread over !"]
        assert len(exits) == 2 and over and max(exits) < over[0], lines
        print("sim healthy: trains matched, stop took %.1f s" % took)


if __name__ == "__main__":
    sys.exit(main())
