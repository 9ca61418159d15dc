"""A built tool run by the smoke tests, natively or under Wine."""

import os
import subprocess


class ToolProcess:
    def __init__(self, exe, wine):
        self.exe = os.path.abspath(exe)
        self.wine = wine
        self.env = dict(os.environ)
        if wine:
            self.env["WINEDEBUG"] = "-all"
            self.env.pop("TZ", None)  # msvcrt reads TZ in its own format

    def path(self, unix_path):
        """A path as the tool sees it."""
        return "Z:" + unix_path.replace("/", "\\") if self.wine else unix_path

    def command(self, *args):
        return (["wine", self.exe] if self.wine else [self.exe]) + list(args)

    def run(self, *args, timeout=60):
        """Runs the tool to its end, with standard input at end-of-file."""
        return subprocess.run(self.command(*args), stdin=subprocess.DEVNULL, capture_output=True,
                              env=self.env, timeout=timeout)

    def start(self, *args, stdin=subprocess.DEVNULL):
        """Starts the tool with both output streams on one pipe."""
        return subprocess.Popen(self.command(*args), stdin=stdin, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, env=self.env)
