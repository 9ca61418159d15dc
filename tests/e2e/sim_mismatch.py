"""A simulated application whose trains leave 3 pictures but 1 XML file:
the daemon reports the mismatch, runs the uninstall command, and after five
further heartbeats the install command; the application itself is never
terminated or launched."""

import os
import sys
import time

from zelk_testing.sim import SimSetup, parse_args


def main():
    args = parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        folder = setup.run.folder
        uninstalled = os.path.join(folder, "uninstalled")
        installed = os.path.join(folder, "installed")
        # Trains 12 s apart leave room for the five heartbeats (1 s apart)
        # that must follow the uninstall command before the next train.
        app = setup.add_app("mis", ["--handshake-interval", "1", "--train-interval", "12", "--pictures", "3",
                                    "--xml-files", "1", "--serial", "ZK4711"],
                            (setup.marker_command(installed), setup.marker_command(uninstalled)))
        setup.start()
        setup.wait_log(", install:%s_sub cmd:" % app.name, 90)
        text = setup.log_text()
        mismatch = text.find("%s find pic count:3 != find file count:1" % app.exe_name)
        uninstall = text.find(", uninstall:%s_sub cmd:" % app.name)
        install = text.find(", install:%s_sub cmd:" % app.name)
        assert 0 <= mismatch < uninstall < install, text
        assert "try find pic" not in text, text
        for unexpected in ("Terminate Process", "Create Process", "goto loop"):
            assert unexpected not in text, "%r in the log:\n%s" % (unexpected, text)
        console = setup.run.text()
        after_uninstall = console.find("uninstall zlek services!")
        assert 0 <= after_uninstall < console.find("\ninstall zlek services!", after_uninstall), console
        deadline = time.monotonic() + 20
        while not (os.path.exists(uninstalled) and os.path.exists(installed)):
            assert time.monotonic() < deadline, "the commands left no markers: %s" % os.listdir(folder)
            time.sleep(0.2)
        setup.stop_daemon(15)
        print("sim mismatch: uninstall, then install after five heartbeats")


if __name__ == "__main__":
    sys.exit(main())
