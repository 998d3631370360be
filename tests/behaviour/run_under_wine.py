#!/usr/bin/env python3
"""Runs the behaviour suite's Windows build under Wine, as an unprivileged
user (Wine running as root ignores Unix permissions, so a read-only file
would not refuse), in a folder of its own, and ends as the suite ends.

usage: run_under_wine.py SUITE.exe --helpers DIR [SUITE ARGUMENTS...]"""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine_harness"))
from wine_session import WineSession  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("suite")
    parser.add_argument("--helpers", required=True)
    args, suite_arguments = parser.parse_known_args()
    session = WineSession(args.helpers, display=False, as_user=True)
    try:
        suite = session.program(args.suite)
        result = session.run([suite] + suite_arguments, cwd=session.folder("behaviour"), stderr=subprocess.STDOUT)
        sys.stdout.write(result.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n"))
        return result.returncode
    finally:
        session.close()


if __name__ == "__main__":
    sys.exit(main())
