"""Runs a test executable with its output going to a file instead of the
caller's pipe, then copies the output and returns the exit code. Programs the
tests launch (and, under Wine, the desktop and console helpers they bring up)
may outlive the executable; holding the test runner's pipe, they would keep it
waiting for the end of the output.

    python3 -m zelk_testing.run_detached [--wine] <executable> [arguments...]"""

import os
import subprocess
import sys
import tempfile


def main():
    args = sys.argv[1:]
    command = args
    env = dict(os.environ)
    if args and args[0] == "--wine":
        command = ["wine"] + args[1:]
        env["WINEDEBUG"] = "-all"
    with tempfile.TemporaryFile() as out:
        rc = subprocess.call(command, stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, env=env)
        out.seek(0)
        sys.stdout.buffer.write(out.read())
        sys.stdout.flush()
    return rc


if __name__ == "__main__":
    sys.exit(main())
