"""Slow, with the product's timings: a simulated application falls silent;
after about 90 s of silence the daemon terminates it, then (its connection
now failing) launches it again, connects anew, and data arrives once more.
The event journal tells the same story, one line per transition."""

import os
import sys

from zelk_testing.sim import SimSetup, parse_args


def main():
    args = parse_args()

    with SimSetup(args.exe, args.sim, args.wine) as setup:
        setup.journal_folder = os.path.join(setup.run.folder, "journal")  # made by the daemon
        # Every instance, the relaunched one too, sends for 20 s and then
        # stays silent with its connection open.
        app = setup.add_app("silent", ["--handshake-interval", "1", "--train-interval", "0", "--silent-after", "20"])
        setup.start()
        name = app.exe_name
        app.wait_event("falling silent", 60)
        setup.wait_log("recv data time out, try close process:%s" % name, 120)
        setup.wait_log("Terminate Process success:%s" % name, 10)
        setup.wait_log("try open process", 60)
        setup.wait_log("Create Process success:", 10)
        app.wait_event("listening on", 60, count=2)
        setup.wait_log("recv data failure, goto loop", 60)
        after_launch = setup.run.text().find("CreateProcess:")
        setup.run.wait_for("%s ==> Recv data ok!" % name, 30, after_launch)
        app.wait_event("connection 1 accepted", 10, count=2)

        text = setup.log_text()
        order = ["recv data time out, try close process:", "Terminate Process success:",
                 "recv data failure 11, try close process", "recv data failure 20, try open process",
                 "Create Process success:", "recv data failure, goto loop"]
        positions = [text.find(needle) for needle in order]
        assert all(p >= 0 for p in positions) and positions == sorted(positions), (positions, text)
        took = setup.stop_daemon(15)
        assert took < 8, "stopping took %.1f s" % took

        journal = setup.journal()
        story = [e["event"] for e in journal if e.get("app") == name]
        expected = ["connected", "silence", "terminated", "launched", "reconnect", "connected"]
        it = iter(story)
        assert all(event in it for event in expected), story
        terminated = next(e for e in journal if e["event"] == "terminated")
        assert (terminated["cycle"], terminated["count"], terminated["processes"]) == ("silent", 30, 1)
        assert journal[0]["event"] == "config_loaded" and journal[-1]["event"] == "daemon_stopped"
        if args.zelkctl:
            table = setup.zelkctl(args.zelkctl, "history", "--journal",
                                  setup.native(setup.journal_folder), "--app", name)
            rows = [line.split()[3] for line in table.splitlines()
                    if len(line.split()) > 3 and line.split()[2] == name]
            it = iter(rows)
            assert all(event in it for event in expected), table
        print("sim silent: terminated, relaunched and reconnected")


if __name__ == "__main__":
    sys.exit(main())
