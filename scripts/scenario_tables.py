#!/usr/bin/env python3
"""The test command's table of each end-to-end suite of a build, made from
what CTest recorded: the suite's scenarios (its tests that carry a set=
label, each named SUITE.<scenario>), what they ran on and how each ended,
with what a failed one printed. A fixture of the suite that failed is named
below its table; a build that did not run shows "did not run".

usage: scenario_tables.py BUILD_DIR..."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from closing_lines import outcomes, registered  # noqa: E402


def tables(build_dir):
    """The tables' lines for one build."""
    tests = registered(build_dir) or []
    ended = outcomes(build_dir, with_output=True)
    suites = {}  # (stage, runs on, set): ([scenario test], [fixture test])
    for name, labels, fixture in tests:
        if "set" in labels:
            suite = suites.setdefault((labels.get("stage", ""), labels.get("runs-on", ""), labels["set"]), ([], []))
            suite[1 if fixture else 0].append(name)
    lines = []
    for (stage, runs_on, extent), (scenarios, fixtures) in suites.items():
        rows = [(name.partition(".")[2].replace("_", " ") or name,) + ended.get(name, ("did not run", ""))
                for name in scenarios]
        width = max([len("scenario")] + [len(row[0]) for row in rows])
        lines.append(f"{stage}, on {runs_on}, {extent} set:")
        lines.append(f"  {'scenario'.ljust(width)}  result")
        for scenario, outcome, printed in rows:
            lines.append(f"  {scenario.ljust(width)}  {outcome}")
            if outcome == "FAILED":
                lines.extend("      " + line for line in printed.splitlines())
        for name in fixtures:
            outcome = ended.get(name, ("did not run", ""))[0]
            if outcome == "FAILED":
                lines.append(f"  its fixture {name}: FAILED")
        passed = sum(1 for row in rows if row[1] == "passed")
        failed = sum(1 for row in rows if row[1] == "FAILED")
        not_run = len(rows) - passed - failed
        lines.append(f"  {passed} passed, {failed} failed" + (f", {not_run} did not run" if not_run else ""))
    return lines


def main(build_dirs):
    for build_dir in build_dirs:
        for line in tables(build_dir):
            print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
