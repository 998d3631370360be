#!/usr/bin/env python3
"""The test command's closing lines: for every stage, what it ran on and how
it ended, made from what CTest recorded. The stage, what a run counts as
("i686 (native)", "i686 (emulated)", "x86_64 (stand-in)") and its set are
the tests' labels (stage=..., runs-on=..., set=...); how each ended is in
the build's junit.xml, which the test command removes before each workflow,
so a build that failed shows "did not run", never an earlier "passed".

usage: closing_lines.py BUILD_DIR..."""
import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

# What each preset's build is, for tests that carry no runs-on label.
BUILDS = {"linux": "Linux, on the Win32 fake", "linux-sanitize": "Linux, sanitizers, on the Win32 fake",
          "windows-x86": "i686", "windows-x64": "x86_64"}


def registered(build_dir):
    """[(test name, {label name: value}, whether it is a fixture's set-up or
    clean-up)] as CTest has them, or None when the build was never configured."""
    if not os.path.exists(os.path.join(build_dir, "CTestTestfile.cmake")):
        return None
    listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, check=False)
    if listing.returncode != 0:
        return None
    tests = []
    for test in json.loads(listing.stdout).get("tests", []):
        labels, fixture = {}, False
        for prop in test.get("properties", []):
            if prop["name"] == "LABELS":
                labels = dict(label.partition("=")[::2] for label in prop["value"])
            fixture |= prop["name"] in ("FIXTURES_SETUP", "FIXTURES_CLEANUP")
        tests.append((test["name"], labels, fixture))
    return tests


def outcomes(build_dir, with_output=False):
    """{test name: "passed" | "FAILED" | "did not run: why"} from junit.xml;
    with_output, {test name: (that, what the test printed)}."""
    path = os.path.join(build_dir, "junit.xml")
    result = {}
    if not os.path.exists(path):
        return result
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        status = case.get("status", "run")
        printed = (case.findtext("system-out") or "").strip()
        said = printed.splitlines()
        if status in ("notrun", "disabled"):
            outcome = said[-1] if said and said[-1].startswith("did not run") else "did not run"
            skipped = case.find("skipped")
            if skipped is not None and skipped.get("message") == "Fixture dependency failed":
                outcome = "did not run: a fixture it needs failed"
        elif case.find("failure") is not None or status == "fail":
            outcome = "FAILED"
        else:
            outcome = "passed"
        result[case.get("name")] = (outcome, printed) if with_output else outcome
    return result


def stage_outcome(names, ended):
    """One stage's outcome in one build, from its tests' outcomes."""
    states = [ended.get(name, "did not run") for name in names]
    failed = [name for name, state in zip(names, states) if state == "FAILED"]
    if failed:
        return "FAILED (" + ", ".join(failed) + ")"
    not_run = [state for state in states if state.startswith("did not run")]
    if not_run:
        return not_run[0]
    return "passed"


def main(build_dirs):
    stages = {}  # stage: [(runs on, outcome, set)]
    lines_after = []
    for build_dir in build_dirs:
        preset = os.path.basename(os.path.normpath(build_dir))
        tests = registered(build_dir)
        if tests is None:
            lines_after.append(f"  {preset}: no test ran (it was not configured)")
            continue
        ended = outcomes(build_dir)
        grouped = {}
        for name, labels, _ in tests:
            kind = (labels.get("stage", "unit tests and fault sweep"), labels.get("runs-on", BUILDS.get(preset, preset)),
                    labels.get("set", ""))
            grouped.setdefault(kind, []).append(name)
        for (stage, runs_on, extent), names in grouped.items():
            stages.setdefault(stage, []).append((runs_on, stage_outcome(names, ended), extent))

    print("what ran on what:")
    native = False
    for stage, runs in stages.items():
        shown = []
        for runs_on, outcome, extent in runs:
            note = f" ({extent} set)" if extent in ("full", "short") and not outcome.startswith("did not run") else ""
            shown.append(f"{runs_on}: {outcome}{note}")
            native |= runs_on == "i686 (native)" and outcome == "passed"
        print(f"  {stage}: " + "; ".join(shown))
    for line in lines_after:
        print(line)
    if not native:
        print("  No run under Wine passed on native i686 here: a stand-in or emulated run never counts as a native one.")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
