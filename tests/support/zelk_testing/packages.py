"""What the package tests need to know of a release build folder."""

import argparse
import os
import re
import subprocess


def arguments(package_option):
    """The package's path and the release build folder it came from, from
    the command line: <package_option> PATH --build FOLDER."""
    parser = argparse.ArgumentParser()
    parser.add_argument(package_option, required=True, dest="package")
    parser.add_argument("--build", required=True, help="the release build the package came from")
    args = parser.parse_args()
    return os.path.abspath(args.package), args.build


def project_version(build):
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache.read(), re.M).group(1)


def was_built(build, file_name):
    """True if the build folder holds a program of that file name: the
    packages must then ship it."""
    return any(file_name in files for _root, _dirs, files in os.walk(build))


def run(command, check=True, **kwargs):
    """Runs a command with standard input at end-of-file and returns its rc
    and its output (both streams)."""
    result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=300, **kwargs)
    text = result.stdout.decode("utf-8", "replace")
    if check and result.returncode != 0:
        raise AssertionError("%s: rc %d\n%s" % (" ".join(command), result.returncode, text))
    return result.returncode, text
