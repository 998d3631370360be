#!/usr/bin/env python3
"""The parts of the Wine harness that decide without running Wine: which
set each build runs and what it counts as, and the line-by-line comparison
of a program's output.

usage: wine_harness_test.py SOURCE_DIR"""
import os
import subprocess
import sys
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(SOURCE, "tools", "wine_harness"))
from wine_policy import plan, probe, target  # noqa: E402
from wine_session import compare_lines  # noqa: E402


class Policy(unittest.TestCase):
    CASES = [
        # (machine, i686's set and label, x86_64's set and label, a run by hand, the pictures)
        ("native", ("full", "i686 (native)"), ("short", "x86_64 (beside the native deliverables)"), "windows-x86",
         "windows-x86"),
        ("emulated", ("short", "i686 (emulated)"), ("full", "x86_64 (stand-in)"), "windows-x64", "windows-x86"),
        ("refused", ("none", "i686"), ("full", "x86_64 (stand-in)"), "windows-x64", "windows-x64"),
        ("broken", ("none", "i686"), ("full", "x86_64 (stand-in)"), "windows-x64", "windows-x64"),
        ("unknown", ("none", "i686"), ("full", "x86_64 (stand-in)"), "windows-x64", "windows-x64"),
    ]

    def test_each_machine_gets_its_sets_and_labels(self):
        for mode, i686, x86_64, by_hand, pictures in self.CASES:
            with self.subTest(mode):
                self.assertEqual(plan("i686", mode)[:2], i686)
                self.assertEqual(plan("x86_64", mode)[:2], x86_64)
                self.assertEqual(target(mode)[0], by_hand)
                self.assertEqual(target(mode, pictures=True)[0], pictures)

    def test_what_did_not_run_natively_names_the_machine_state(self):
        for mode, word in (("emulated", "emulated"), ("refused", "refuses"), ("broken", "broken"),
                           ("unknown", "unknown")):
            with self.subTest(mode):
                self.assertIn(word, plan("i686", mode)[2])
                self.assertIn(word, target(mode)[1])


    def test_a_machine_state_named_by_hand_keeps_the_real_one_in_the_label(self):
        real = probe()
        forced = "emulated" if real == "native" else "native"
        result = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "wine_harness", "wine_policy.py"),
                                 "plan", "i686"], env=dict(os.environ, HALVERNIK_I686_WINE=forced),
                                stdout=subprocess.PIPE, check=True)
        chosen, runs_on, _ = result.stdout.decode().strip().split(";")
        self.assertEqual(chosen, plan("i686", forced)[0])
        self.assertEqual(runs_on, f"{plan('i686', forced)[1]}, set by hand where the probe says {real}")


class CompareLines(unittest.TestCase):
    def test_same_lines_with_either_line_end(self):
        self.assertIsNone(compare_lines(["a", "b"], "a\r\nb\r\n"))
        self.assertIsNone(compare_lines(["a", "b"], "a\nb"))

    def test_a_difference_is_shown_line_by_line(self):
        said = compare_lines(["Error creating file .\\test_0_0.txt: x (5)", "1 errors"],
                             "Error creating file .\\test_0_0.txt: x (32)\r\n1 errors\r\n")
        self.assertIn("-Error creating file .\\test_0_0.txt: x (5)", said)
        self.assertIn("+Error creating file .\\test_0_0.txt: x (32)", said)

    def test_a_missing_or_extra_line_is_a_difference(self):
        self.assertIsNotNone(compare_lines(["a", "b"], "a\r\n"))
        self.assertIsNotNone(compare_lines(["a"], "a\r\n\r\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
