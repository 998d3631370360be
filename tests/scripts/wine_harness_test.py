#!/usr/bin/env python3
"""The parts of the Wine harness that work without running Wine: which set
each build runs and what it counts as, the line-by-line comparison of a
program's output, the .reg text, and the scenarios' folders.

usage: wine_harness_test.py SOURCE_DIR"""
import argparse
import gc
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(SOURCE, "tools", "wine_harness"))
from wine_policy import plan, probe, target  # noqa: E402
import end_to_end  # noqa: E402
from reg_text import RegTextError, import_text, parse_reg_export  # noqa: E402
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


EXPORT = "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    r"[HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Sales]",
    '"Server"="db1 \\\\ \\"quoted\\""',
    '@="default"',
    '"Port"=dword:00001538',
    '"Blob"=hex:01,02,\\',
    "  03,ff",
    "",
])


class RegText(unittest.TestCase):
    def test_what_is_written_reads_back(self):
        keys = {r"HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Sales": {"Server": 'db1 \\ "x"', "": "default",
                                                                   "Caf\u00e9": "\U0001F600"},
                r"HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Empty": {}}
        read = parse_reg_export(import_text(keys).decode("utf-16"))
        self.assertEqual(read, {path: {name: ("REG_SZ", text) for name, text in values.items()}
                                for path, values in keys.items()})

    def test_an_export_reads_with_its_types_and_long_data(self):
        self.assertEqual(parse_reg_export(EXPORT), {r"HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Sales": {
            "Server": ("REG_SZ", 'db1 \\ "quoted"'), "": ("REG_SZ", "default"), "Port": ("REG_DWORD", 0x1538),
            "Blob": ("REG_BINARY", b"\x01\x02\x03\xff")}})

    MALFORMED = [
        # (case, the line that breaks, its number)
        ("a string without its closing quote", '"Server"="db1', 4),
        ("a name without quotes", "Server=db1", 4),
        ("no = after the name", '"Server" "db1"', 4),
        ("text after the closing quote", '"Server"="db1"x', 4),
        ("dword data that is not hexadecimal", '"Port"=dword:12zz', 4),
        ("hex data that is not hexadecimal", '"Blob"=hex:01,0g', 4),
        ("data of no type", '"Blob"=01,02', 4),
    ]

    def test_malformed_text_is_an_error_that_names_its_line(self):
        for case, line, number in self.MALFORMED:
            with self.subTest(case):
                lines = EXPORT.split("\r\n")
                lines[3] = line
                with self.assertRaises(RegTextError) as raised:
                    parse_reg_export("\r\n".join(lines))
                self.assertEqual(raised.exception.number, number)
                self.assertIn(f"line {number}: ", str(raised.exception))
                self.assertIn(repr(line), str(raised.exception))

    def test_data_that_goes_on_past_the_end_names_the_line_it_began_on(self):
        with self.assertRaises(RegTextError) as raised:
            parse_reg_export(EXPORT.replace("  03,ff", "  03,\\"))
        self.assertEqual(raised.exception.number, 7)

    def test_the_errors_stand_under_python_dash_o(self):
        # -O drops assert statements, never these errors.
        code = ("import sys; sys.path.insert(0, sys.argv[1]); from reg_text import parse_reg_export, RegTextError\n"
                "try:\n    parse_reg_export(sys.argv[2])\nexcept RegTextError as error:\n    print(error.number)")
        result = subprocess.run([sys.executable, "-O", "-c", code, os.path.join(SOURCE, "tools", "wine_harness"),
                                 EXPORT.replace('"Port"=dword:00001538', '"Port"="1538')], stdout=subprocess.PIPE,
                                check=True)
        self.assertEqual(result.stdout.decode().strip(), "6")


class OldNaming(end_to_end.Scenario):
    """The folders as scenarios once named them: after the scenario object's
    id, which Python gives the next object once this one is freed, with a
    folder of that name reused."""

    def folder(self):
        path = os.path.join(self.session.root, "folders", f"run-{id(self)}")
        os.makedirs(path, exist_ok=True)
        return path


class ScenarioFolders(unittest.TestCase):
    """Two scenarios run in turn in one shared session, each asking for its
    folder, as the suite's runner makes them: the second made once the first
    is done with."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="halvernik-folders.")
        self.addCleanup(shutil.rmtree, self.root)
        # A shared session as a fixture leaves it: attaching to one starts nothing of Wine.
        with open(os.path.join(self.root, "as_root.json"), "w") as out:
            json.dump({"helpers_dir": self.root, "root": self.root, "prefix": os.path.join(self.root, "prefix"),
                       "display": None, "user": None, "moved_local_appdata": None, "box_driver": "",
                       "hold_file": ""}, out)
        args = argparse.Namespace(sessions=self.root)
        self.session = end_to_end.Sessions({}, args).get("as_root")

    def folders_of_two_scenarios_in_turn(self, scenario_class):
        folders = []
        # No collection of other garbage in between: the second scenario
        # then gets the first one's id, as Python gives a freed object's id
        # to the next one.
        gc.collect()
        gc.disable()
        try:
            for _ in range(2):
                s = scenario_class(None, self.session, "cache_folder_in_place_all_tests_pass")
                folders.append(s.folder())
                del s
        finally:
            gc.enable()
        return folders

    def test_two_scenarios_in_turn_get_two_folders(self):
        first, second = self.folders_of_two_scenarios_in_turn(end_to_end.Scenario)
        self.assertNotEqual(first, second)
        self.assertTrue(os.path.isdir(first) and os.path.isdir(second))

    def test_the_check_fails_on_the_old_naming(self):
        first, second = self.folders_of_two_scenarios_in_turn(OldNaming)
        self.assertEqual(first, second)

if __name__ == "__main__":
    unittest.main(verbosity=2)
