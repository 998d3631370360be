#!/usr/bin/env python3
"""The test command's closing lines: for every stage of runs under Wine, what
it ran on ("i686 (native)", "i686 (emulated)" or "x86_64 (stand-in)") and how
it ended, and which stages did not run on the deliverables.

usage: wine_stage_report.py MODE BUILD_DIR...
  MODE       how 32-bit programs run here: native, emulated or none
  BUILD_DIR  the Windows builds, each with wine_stages.txt (written by CMake)
             and junit.xml (written by ctest)"""
import os
import sys
import xml.etree.ElementTree as ElementTree

STAGES = [
    "run with no display",
    "cache-check set-ups",
    "cache-check on a real console",
    "cache-check against real refusals",
    "end-to-end suite with real boxes",
    "signed release under Wine",
]
WHY_NOT = {
    "emulated": "32-bit code runs emulated here, so the i686 deliverables ran the short set only",
    "none": "32-bit Wine cannot run here",
}


def outcomes(build_dir):
    """{test name: passed|FAILED|not run} from ctest's JUnit file."""
    result = {}
    path = os.path.join(build_dir, "junit.xml")
    if os.path.exists(path):
        for case in ElementTree.parse(path).getroot().iter("testcase"):
            status = case.get("status", "run")
            failed = case.find("failure") is not None or status == "fail"
            result[case.get("name")] = "not run" if status in ("notrun", "disabled") else (
                "FAILED" if failed else "passed")
    return result


def main():
    mode, builds = sys.argv[1], sys.argv[2:]
    ran = {stage: [] for stage in STAGES}
    for build_dir in builds:
        stages_file = os.path.join(build_dir, "wine_stages.txt")
        if not os.path.exists(stages_file):
            continue
        results = outcomes(build_dir)
        for line in open(stages_file, encoding="utf-8").read().splitlines():
            stage, test, platform, extent = line.split("\t")
            note = " (short set)" if extent == "short" else ""
            ran.setdefault(stage, []).append(f"{platform}: {results.get(test, 'did not run')}{note}")
    print(f"what ran on what (32-bit programs run {mode} on this machine):")
    for stage in ran:
        done = ran[stage]
        if not any(entry.startswith("i686") for entry in done):
            done.append(f"i686: did not run ({WHY_NOT.get(mode, 'not registered')})")
        print(f"  {stage}: " + "; ".join(done))
    if mode != "native":
        print("  A stand-in or emulated run does not count as a native one: no stage ran on native i686 here.")


if __name__ == "__main__":
    main()
