#!/usr/bin/env python3
"""The test command's closing lines tell what ran, from what CTest recorded:
a stage that passed, failed or could not run says so, and a preset whose
build fails shows "did not run", never an earlier run's "passed". Each
end-to-end suite's table is made from CTest's record too, and the sweeps'
figures from their files: a sweep whose file is missing or empty fails the
test command, and an earlier run's figures never stand for this one's.

Each case is a small CMake project of labelled tests in a build folder named
like a preset; scripts/test.sh's own functions run it, with a cmake whose
workflow is made to fail where the case needs a failed build.

usage: closing_lines_test.py SOURCE_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
TEST_SH = os.path.join(SOURCE, "scripts", "test.sh")
CLOSING_LINES = os.path.join(SOURCE, "scripts", "closing_lines.py")
SCENARIO_TABLES = os.path.join(SOURCE, "scripts", "scenario_tables.py")

PROJECT = """cmake_minimum_required(VERSION 3.25)
project(stages NONE)
enable_testing()
add_test(NAME checks COMMAND sh -c "exit 0")
set_tests_properties(checks PROPERTIES LABELS "stage=image checks")
add_test(NAME suite COMMAND sh -c "exit @SUITE_STATUS@")
set_tests_properties(suite PROPERTIES LABELS "stage=end to end;runs-on=i686 (emulated);set=short")
add_test(NAME skipped COMMAND sh -c "echo 'did not run: 32-bit code is refused here'; exit 77")
set_tests_properties(skipped PROPERTIES SKIP_RETURN_CODE 77 LABELS "stage=signed run;runs-on=i686;set=none")
"""


def test_sh(root, build_root, commands):
    """Runs commands in bash after sourcing scripts/test.sh, with its build
    folders in build_root and a cmake whose workflow fails as a build that
    does not compile does; returns (status, output)."""
    stubs = os.path.join(root, "bin")
    os.makedirs(stubs, exist_ok=True)
    with open(os.path.join(stubs, "cmake"), "w") as out:
        out.write('#!/bin/sh\n[ "$1" = --workflow ] && { echo "FAILED: compile error" >&2; exit 1; }\n'
                  f'exec "{shutil.which("cmake")}" "$@"\n')
    os.chmod(os.path.join(stubs, "cmake"), 0o755)
    script = f'. "{TEST_SH}"; build_root="{build_root}"; {commands}'
    env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"])
    result = subprocess.run(["bash", "-c", script], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            check=False)
    return result.returncode, result.stdout.decode()


def configure(root, build, project_text):
    """Configures the project into build and runs its tests once, as the
    workflow's test step does (junit.xml)."""
    project = os.path.join(root, "project-" + os.path.basename(build))
    os.makedirs(project)
    with open(os.path.join(project, "CMakeLists.txt"), "w") as out:
        out.write(project_text)
    subprocess.run(["cmake", "-S", project, "-B", build], stdout=subprocess.DEVNULL, check=True)
    subprocess.run(["ctest", "--test-dir", build, "--output-junit", "junit.xml"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    return build


class ClosingLines(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="halvernik-stages.")
        self.addCleanup(shutil.rmtree, self.root)
        self.build_root = os.path.join(self.root, "build")

    def configure(self, preset, suite_status=0):
        """Configures the project into build/PRESET and runs its tests once."""
        return configure(self.root, os.path.join(self.build_root, preset),
                         PROJECT.replace("@SUITE_STATUS@", str(suite_status)))

    def closing_lines(self, *builds):
        result = subprocess.run([sys.executable, CLOSING_LINES] + list(builds), stdout=subprocess.PIPE, check=True)
        return result.stdout.decode()

    def test_each_stage_says_what_it_ran_on_and_how_it_ended(self):
        build = self.configure("windows-x86", suite_status=1)
        said = self.closing_lines(build)
        self.assertIn("  image checks: i686: passed\n", said)
        self.assertIn("  end to end: i686 (emulated): FAILED (suite) (short set)\n", said)
        self.assertIn("  signed run: i686: did not run: 32-bit code is refused here\n", said)
        self.assertIn("never counts as a native one", said)

    def test_a_preset_that_fails_to_build_did_not_run(self):
        build = self.configure("windows-x86")
        # The broken input: an earlier run's results, still in the folder.
        self.assertIn("  end to end: i686 (emulated): passed (short set)\n", self.closing_lines(build))
        status, output = test_sh(self.root, self.build_root, "run_workflow windows-x86")
        self.assertNotEqual(status, 0, output)
        said = self.closing_lines(build)
        self.assertIn("  end to end: i686 (emulated): did not run\n", said)
        self.assertIn("  image checks: i686: did not run\n", said)
        self.assertNotIn(": passed", said)

    def test_a_preset_never_configured_says_so(self):
        said = self.closing_lines(os.path.join(self.build_root, "windows-x64"))
        self.assertIn("  windows-x64: no test ran (it was not configured)\n", said)


SUITE = """cmake_minimum_required(VERSION 3.25)
project(suite NONE)
enable_testing()
set(labels "stage=tool end to end;runs-on=i686 (native);set=full")
add_test(NAME checks COMMAND sh -c "exit 0")
set_tests_properties(checks PROPERTIES LABELS "stage=image checks")
add_test(NAME tool.with_display.set_up COMMAND sh -c "exit @SET_UP_STATUS@")
set_tests_properties(tool.with_display.set_up PROPERTIES FIXTURES_SETUP tool.with_display LABELS "${labels}")
add_test(NAME tool.first_scenario COMMAND sh -c "exit 0")
add_test(NAME tool.second_scenario COMMAND sh -c "echo 'boxes shown: none'; exit 1")
set_tests_properties(tool.first_scenario tool.second_scenario PROPERTIES FIXTURES_REQUIRED tool.with_display
  LABELS "${labels}")
"""


class ScenarioTables(unittest.TestCase):
    """Each suite's table: its scenario tests, by name, as CTest recorded them."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="halvernik-tables.")
        self.addCleanup(shutil.rmtree, self.root)

    def table(self, set_up_status):
        build = configure(self.root, os.path.join(self.root, "build", "windows-x86"),
                          SUITE.replace("@SET_UP_STATUS@", str(set_up_status)))
        result = subprocess.run([sys.executable, SCENARIO_TABLES, build], stdout=subprocess.PIPE, check=True)
        return result.stdout.decode()

    def test_each_scenario_with_its_outcome_and_what_a_failed_one_said(self):
        self.assertEqual(self.table(set_up_status=0), "tool end to end, on i686 (native), full set:\n"
                                                      "  scenario         result\n"
                                                      "  first scenario   passed\n"
                                                      "  second scenario  FAILED\n"
                                                      "      boxes shown: none\n"
                                                      "  1 passed, 1 failed\n")

    def test_a_fixture_that_failed_is_named_and_its_scenarios_did_not_run(self):
        said = self.table(set_up_status=1)
        self.assertIn("  first scenario   did not run: a fixture it needs failed\n", said)
        self.assertIn("  its fixture tool.with_display.set_up: FAILED\n", said)
        self.assertIn("  0 passed, 0 failed, 2 did not run\n", said)


class SweepFigures(unittest.TestCase):
    """The sweeps' figures are printed from their files, one per sweep of
    the list in test.sh; a file missing or empty fails the step."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="halvernik-figures.")
        self.addCleanup(shutil.rmtree, self.root)
        self.build_root = os.path.join(self.root, "build")
        self.figures = os.path.join(self.build_root, "linux", "figures")
        os.makedirs(self.figures)
        status, said = test_sh(self.root, self.build_root, 'echo "${sweeps[@]}"')
        self.assertEqual(status, 0, said)
        self.sweeps = said.split()
        for sweep in self.sweeps:
            self.write(sweep, f"{sweep}: 1110 faulty runs, 0 failed\n")

    def write(self, sweep, text):
        with open(os.path.join(self.figures, sweep + ".txt"), "w") as out:
            out.write(text)

    def print_figures(self):
        return test_sh(self.root, self.build_root, "print_figures linux")

    def test_each_sweep_s_figures_are_printed_from_its_file(self):
        status, said = self.print_figures()
        self.assertEqual(status, 0, said)
        self.assertGreaterEqual(len(self.sweeps), 2)
        for sweep in self.sweeps:
            self.assertIn(f"linux: {sweep}: 1110 faulty runs, 0 failed\n", said)

    def test_a_missing_or_empty_figures_file_fails_and_is_named(self):
        for case, damage in (("missing", os.remove), ("empty", lambda path: open(path, "w").close())):
            with self.subTest(case):
                broken, kept = self.sweeps[0], self.sweeps[1]
                damage(os.path.join(self.figures, broken + ".txt"))
                status, said = self.print_figures()
                self.assertNotEqual(status, 0, said)
                self.assertIn(f"linux: FAILED: no figures from the {broken} "
                              f"({self.figures}/{broken}.txt is {case})", said)
                self.assertIn(f"linux: {kept}: 1110 faulty runs", said)
                self.write(broken, "figures\n")

    def test_an_earlier_run_s_figures_never_stand_for_this_one_s(self):
        # The broken input: figures that a run left, which print as if new.
        self.assertEqual(self.print_figures()[0], 0)
        status, said = test_sh(self.root, self.build_root, "run_workflow linux")
        self.assertNotEqual(status, 0, said)
        status, said = self.print_figures()
        self.assertNotEqual(status, 0, said)
        self.assertNotIn("1110 faulty runs", said)


if __name__ == "__main__":
    unittest.main(verbosity=2)
