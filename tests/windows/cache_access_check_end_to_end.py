#!/usr/bin/env python3
"""cache-access-check end to end: a build of it under Wine, each scenario in a
fresh folder of its own, its output compared line by line with what it must
be, with the system's texts asked of Wine itself.

usage: cache_access_check_end_to_end.py EXE --helpers DIR [--set full|short]
                                        [--scenario NAME]... [--signed-release DIR]
  --set short           the cache folder in place, and the signed release
                        (where each 32-bit process runs emulated)
  --signed-release DIR  the signed release that the release test left, whose
                        cache-access-check.exe runs once
(and the forms that CTest uses: see tools/wine_harness/end_to_end.py)

The refusals come from the file system, so those scenarios run as an
unprivileged user (Wine running as root ignores Unix permissions), with a
HOME, a prefix and copies of the programs that the user owns."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine_harness"))
import end_to_end  # noqa: E402

NAMES = ["test_2_128.txt", "test_2_16384.txt", "test_2_0.txt", "test_0_128.txt", "test_0_16384.txt", "test_0_0.txt"]
ALL_PASSED = "All tests passed successfully."


def verdict(count):
    return f"{count} errors occurred during file creation tests."


def error_lines(folder, pass_word, text, names=NAMES):
    return [f"Error {pass_word} file {folder}\\{name}: {text}" for name in names]


class Scenario(end_to_end.Scenario):
    def fresh(self, cache_folder=True):
        """The cache folder in place or not, and a new current folder of the
        scenario's own; returns (folder, cache folder's Windows path, its
        Unix path)."""
        cache, cache_unix = self.session.cache_folder()
        self.session.run_as_user(["rm", "-rf", cache_unix])
        if cache_folder:
            self.session.run_as_user(["mkdir", "-p", cache_unix])
        return self.folder(), cache, cache_unix

    def run_check(self, folder, exe=None):
        """Runs the check in folder; returns its output's bytes, with the
        exit status checked."""
        status, output = self.session.run_console(exe or self.args.exe, folder)
        self.expect(status == 0, f"exit status {status}, not 0")
        return output

    def expect_no_test_files(self, *folders):
        left = [os.path.join(folder, name) for folder in folders if os.path.isdir(folder)
                for name in os.listdir(folder) if name.startswith("test_")]
        self.expect(not left, f"test files left behind: {left}")


# --- scenarios ------------------------------------------------------------------------

def cache_folder_in_place_all_tests_pass(s):
    folder, _, cache_unix = s.fresh()
    output = s.run_check(folder)
    s.expect(output == (ALL_PASSED + "\r\n").encode(),
             f"the whole output is {output!r}, not the success verdict and an end of line")
    s.expect_no_test_files(folder, cache_unix)


def cache_folder_missing_gives_twelve_errors(s):
    folder, cache, cache_unix = s.fresh(cache_folder=False)
    missing = s.session.error_text(3)
    output = s.run_check(folder)
    s.expect_lines(error_lines(cache, "creating", missing) + error_lines(cache, "opening", missing) + [verdict(12)],
                   output)
    s.expect(not os.path.exists(cache_unix), "the cache folder was created")
    s.expect_no_test_files(folder)


def folder_standing_where_a_test_file_goes_is_refused(s):
    folder, _, _ = s.fresh()
    os.mkdir(os.path.join(folder, "test_0_0.txt"))
    denied = s.session.error_text(5)
    output = s.run_check(folder)
    s.expect_lines(error_lines(".", "creating", denied, ["test_0_0.txt"])
                   + error_lines(".", "opening", denied, ["test_0_0.txt"]) + [verdict(2)], output)
    s.expect(os.path.isdir(os.path.join(folder, "test_0_0.txt")), "the folder is gone")
    os.rmdir(os.path.join(folder, "test_0_0.txt"))


def local_appdata_outside_ascii_comes_out_whole(s):
    # Every line must come out whole, in UTF-8, the verdict included.
    folder, cache, _ = s.fresh(cache_folder=False)
    missing = s.session.error_text(3)
    output = s.run_check(folder)
    s.expect_lines(error_lines(cache, "creating", missing) + error_lines(cache, "opening", missing) + [verdict(12)],
                   output)


def on_a_real_console_it_waits_for_enter(s):
    # Under tmux, Wine gives the program a console of its own: its lines go
    # through WriteConsoleW and its wait reads the keyboard. The path is
    # outside ASCII and the cache folder missing, so every line names it.
    folder, cache, _ = s.fresh(cache_folder=False)
    missing = s.session.error_text(3)
    with s.session.on_console(s.args.exe, folder) as console:
        if not s.expect(console.wait_for_line(verdict(12)), f"the verdict never appeared: {console.screen()}"):
            return
        s.expect(console.status(timeout=3) is None, "a moment later it is no longer waiting for Enter")
        s.expect_lines(error_lines(cache, "creating", missing) + error_lines(cache, "opening", missing)
                       + [verdict(12)], "\n".join(console.screen()))
        console.press_enter()
        status = console.status(timeout=60)
        s.expect(status is not None, "Enter did not end it")
        s.expect(status == 0, f"exit status {status}, not 0")


def unprivileged(s):
    folder, _, _ = s.fresh()
    s.expect(s.session.run_as_user(["id", "-u"]).stdout.decode().strip() != "0", "the user is root")
    return s.session, folder


def current_folder_without_write_permission_as_a_user(s):
    session, folder = unprivileged(s)
    session.run_as_user(["chmod", "555", folder])
    output = s.run_check(folder)
    s.expect_lines(error_lines(".", "creating", session.error_text(5))
                   + error_lines(".", "opening", session.error_text(2)) + [verdict(12)], output)
    s.expect(os.listdir(folder) == [], f"something was made in it: {os.listdir(folder)}")


def read_only_test_file_as_a_user(s):
    session, folder = unprivileged(s)
    kept = os.path.join(folder, "test_2_128.txt")
    session.run_as_user(["sh", "-c", f"echo kept >'{kept}' && chmod 444 '{kept}'"])
    output = s.run_check(folder)
    s.expect_lines(error_lines(".", "creating", session.error_text(5), ["test_2_128.txt"]) + [verdict(1)], output)
    s.expect(open(kept).read() == "kept\n", "its delete failed, but the file changed")
    s.expect(os.listdir(folder) == ["test_2_128.txt"], f"other test files were left: {os.listdir(folder)}")


def file_held_open_by_another_process_as_a_user(s):
    session, folder = unprivileged(s)
    in_use = session.error_text(32)
    with session.holding("test_0_0.txt", folder):
        output = s.run_check(folder)
    s.expect_lines(error_lines(".", "creating", in_use, ["test_0_0.txt"])
                   + error_lines(".", "opening", in_use, ["test_0_0.txt"]) + [verdict(2)], output)
    s.expect(os.listdir(folder) == ["test_0_0.txt"], f"files left: {os.listdir(folder)}, not only the held one")


def signed_release_runs_and_passes(s):
    exe = os.path.join(s.args.signed_release or "", "cache-access-check.exe")
    if not s.expect(os.path.exists(exe), f"{exe} is missing: the release test left no signed release"):
        return
    folder, _, _ = s.fresh()
    output = s.run_check(folder, exe)
    s.expect(output == (ALL_PASSED + "\r\n").encode(), f"the signed release's output is {output!r}")


# Each scenario with the kind of session it runs in: as root, as root with
# the local application-data folder outside ASCII, or as an unprivileged user.
SCENARIOS = [
    (cache_folder_in_place_all_tests_pass, "as_root"),
    (cache_folder_missing_gives_twelve_errors, "as_root"),
    (folder_standing_where_a_test_file_goes_is_refused, "as_root"),
    (local_appdata_outside_ascii_comes_out_whole, "outside_ascii"),
    (on_a_real_console_it_waits_for_enter, "outside_ascii"),
    (current_folder_without_write_permission_as_a_user, "as_a_user"),
    (read_only_test_file_as_a_user, "as_a_user"),
    (file_held_open_by_another_process_as_a_user, "as_a_user"),
]
# Where each 32-bit process runs emulated.
SHORT = [cache_folder_in_place_all_tests_pass, signed_release_runs_and_passes]
SESSIONS = {
    "as_root": end_to_end.SessionKind(),
    "outside_ascii": end_to_end.SessionKind(prepare=lambda session: session.move_local_appdata_outside_ascii()),
    "as_a_user": end_to_end.SessionKind(as_user=True),
}


def scenarios(args):
    """The table, and the signed release's run where there is a signed release."""
    return SCENARIOS + ([(signed_release_runs_and_passes, "as_root")] if args.signed_release else [])


def needs(args, scenario):
    # The release test leaves the signed release: a fixture of its run.
    return ["signed_release"] if scenario is signed_release_runs_and_passes else []


if __name__ == "__main__":
    sys.exit(end_to_end.main("cache-access-check", scenarios, SHORT, SESSIONS, Scenario, needs=needs, extra=[
        (("--signed-release",), {"metavar": "DIR", "help": "the signed release's folder"})]))
