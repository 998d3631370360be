#!/usr/bin/env python3
"""The test command's closing lines tell what ran, from what CTest recorded:
a stage that passed, failed or could not run says so, and a preset whose
build fails shows "did not run", never an earlier run's "passed".

Each case is a small CMake project of labelled tests in a build folder named
like a preset; scripts/test.sh's own run_workflow runs it, with a cmake
whose workflow is made to fail where the case needs a failed build.

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


class ClosingLines(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="halvernik-stages.")
        self.addCleanup(shutil.rmtree, self.root)
        self.build_root = os.path.join(self.root, "build")

    def configure(self, preset, suite_status=0):
        """Configures the project into build/PRESET and runs its tests once."""
        project = os.path.join(self.root, f"project-{preset}")
        os.makedirs(project)
        with open(os.path.join(project, "CMakeLists.txt"), "w") as out:
            out.write(PROJECT.replace("@SUITE_STATUS@", str(suite_status)))
        build = os.path.join(self.build_root, preset)
        subprocess.run(["cmake", "-S", project, "-B", build], stdout=subprocess.DEVNULL, check=True)
        subprocess.run(["ctest", "--test-dir", build, "--output-junit", "junit.xml"], stdout=subprocess.DEVNULL,
                       check=False)
        return build

    def closing_lines(self, *builds):
        result = subprocess.run([sys.executable, CLOSING_LINES] + list(builds), stdout=subprocess.PIPE, check=True)
        return result.stdout.decode()

    def run_workflow_that_fails_to_build(self, preset):
        """test.sh's run_workflow, with a cmake whose workflow fails as a
        build that does not compile does."""
        stubs = os.path.join(self.root, "bin")
        os.makedirs(stubs, exist_ok=True)
        with open(os.path.join(stubs, "cmake"), "w") as out:
            out.write('#!/bin/sh\n[ "$1" = --workflow ] && { echo "FAILED: compile error" >&2; exit 1; }\n'
                      f'exec "{shutil.which("cmake")}" "$@"\n')
        os.chmod(os.path.join(stubs, "cmake"), 0o755)
        script = f'. "{TEST_SH}"; build_root="{self.build_root}"; run_workflow {preset}'
        env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"])
        return subprocess.run(["bash", "-c", script], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              check=False)

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
        result = self.run_workflow_that_fails_to_build("windows-x86")
        self.assertNotEqual(result.returncode, 0, result.stdout)
        said = self.closing_lines(build)
        self.assertIn("  end to end: i686 (emulated): did not run\n", said)
        self.assertIn("  image checks: i686: did not run\n", said)
        self.assertNotIn(": passed", said)

    def test_a_preset_never_configured_says_so(self):
        said = self.closing_lines(os.path.join(self.build_root, "windows-x64"))
        self.assertIn("  windows-x64: no test ran (it was not configured)\n", said)


if __name__ == "__main__":
    unittest.main(verbosity=2)
