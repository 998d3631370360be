"""The shape of an end-to-end suite of a built program: named scenarios,
each of which sets up, runs and checks, then one table of results.

A suite module defines its scenarios as functions of a Scenario (or of a
subclass with the suite's own set-ups) and calls run_suite()."""
import argparse
import os
import traceback

from wine_session import compare_lines, pe_is_32_bit


class Scenario:
    """One scenario's state: the suite's arguments and the problems found."""

    def __init__(self, args):
        self.args, self.problems = args, []

    def expect(self, ok, problem):
        if not ok:
            self.problems.append(problem)
        return ok

    def expect_lines(self, expected, output):
        """The output (text or UTF-8 bytes) is, line by line, the expected lines."""
        if isinstance(output, bytes):
            output = output.decode("utf-8", errors="replace")
        difference = compare_lines(expected, output)
        return self.expect(difference is None, difference)


def arguments(description, extra=()):
    """The suite's command line: the program under test, the helpers'
    folder, the set to run, and the suite's own options."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("exe", help="the program under test: the i686 deliverable, or the x86_64 build of the "
                                    "same sources standing in for it")
    parser.add_argument("--helpers", required=True, help="the folder of box-driver.exe and hold-file.exe")
    parser.add_argument("--set", choices=("full", "short"), default="full",
                        help="short: the few scenarios that run where each 32-bit process is emulated")
    for flags, options in extra:
        parser.add_argument(*flags, **options)
    args = parser.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.is_32_bit = pe_is_32_bit(args.exe)
    return args


def run_suite(title, scenarios, short, args, make_scenario, close=lambda: None):
    """Runs the scenarios (only those in short with --set short) and prints
    the table; returns the exit status."""
    print(f"{title} under test: {args.exe} ({'i686' if args.is_32_bit else 'x86_64'}), {args.set} set")
    results = []
    try:
        for scenario in short if args.set == "short" else scenarios:
            s = make_scenario()
            try:
                scenario(s)
            except Exception:  # a harness failure fails the scenario, not the suite
                s.problems.append(traceback.format_exc())
            results.append((scenario.__name__.replace("_", " "), s.problems))
    finally:
        close()

    width = max(len(name) for name, _ in results)
    print(f"{'scenario'.ljust(width)}  result")
    for name, problems in results:
        print(f"{name.ljust(width)}  {'passed' if not problems else 'FAILED'}")
        for problem in problems:
            print("    " + str(problem).replace("\n", "\n    "))
    failed = sum(1 for _, problems in results if problems)
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0
