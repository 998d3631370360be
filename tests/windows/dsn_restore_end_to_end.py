#!/usr/bin/env python3
"""dsn-restore end to end: a build of it under Wine, on an Xvfb display of its
own, with its message boxes answered and read by box-driver.exe, and the
registry set up and read back with Wine's own regedit.

usage: dsn_restore_end_to_end.py EXE --helpers DIR [--set full|short] [--scenario NAME]...
  --set short  the run with no display, the registry view scenario and one
               restore with real boxes and its summary (where each 32-bit
               process runs emulated, for about a minute)
(and the forms that CTest uses: see tools/wine_harness/end_to_end.py)

The machine pass of a 32-bit dsn-restore sees the 32-bit registry view, which
the harness's 64-bit helpers name below Wow6432Node; HKCU\Software is one
key for both views.

Wine enumerates a key's values sorted by name where Windows keeps the order in
which they were written, so scenarios with several boxes do not depend on it.
Wine also stores a terminating NUL with every REG_SZ value, so the byte count
that the tool writes is shown by the unit tests, not here."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine_harness"))
import end_to_end  # noqa: E402
from wine_session import HKCU, HKLM, WineSession, odbc_tree  # noqa: E402

DRIVER = "Halvernik ODBC Driver"
CONFIRMATION = ("Manage ODBC 2.x DSN", "Do you want to restore ODBC 2.x DSNs", ["Yes", "No", "Cancel"])


# Set by the scenario: whether the program under test is a 32-bit one.
EXE_IS_32_BIT = True
# Every ODBC tree that a scenario may touch, in either view.
ODBC_KEYS = (HKCU + r"\Software\ODBC", HKLM + r"\Software\ODBC", HKLM + r"\Software\Wow6432Node\ODBC")


def key(root, *parts, own_view=True):
    """A key below the ODBC tree that the program under test sees (own_view),
    or below the one of the other registry view."""
    return "\\".join((odbc_tree(root, EXE_IS_32_BIT == own_view),) + parts)


def summary(text):
    return ("Restore complete", text, ["OK"])


class Scenario(end_to_end.Scenario):
    """One run: seed the registry, run dsn-restore answering the boxes, check."""

    def __init__(self, args, session, name):
        global EXE_IS_32_BIT
        super().__init__(args, session, name)
        self.exe = args.exe
        EXE_IS_32_BIT = args.is_32_bit

    def seed(self, keys):
        for path in ODBC_KEYS:
            self.session.delete_key(path)
        self.session.import_keys(keys)
        self.before = self.registry()

    def registry(self):
        return registry_of(self.session)

    def run(self, answers=("yes",)):
        self.status, self.boxes = self.session.run_answering_boxes(self.exe, answers)
        self.after = self.registry()
        self.expect(self.status == 0, f"exit status {self.status}, not 0")

    def expect_boxes(self, *expected):
        shown = [(b.caption, b.text, b.buttons) for b in self.boxes]
        self.expect(shown == list(expected), f"boxes {self.boxes}, expected {list(expected)}")

    def expect_key(self, path, values):
        actual = self.after.get(path.lower())
        expected = {name: ("REG_SZ", text) for name, text in values.items()}
        self.expect(actual == expected, f"{path} holds {actual}, expected {expected}")

    def expect_unchanged(self, path=None):
        if path is None:
            self.expect(self.after == self.before, "the registry changed")
        else:
            self.expect(self.after.get(path.lower()) == self.before.get(path.lower()), f"{path} changed")


def dsn(root, name, backup=None, values=None, driver=DRIVER, own_view=True):
    """The keys of one DSN: its entry under ODBC Data Sources and its own key."""
    own = dict(values or {})
    if backup is not None:
        own["Backup"] = backup
    return {key(root, "ODBC Data Sources", own_view=own_view): {name: driver}, key(root, name, own_view=own_view): own}


def merged(*parts):
    keys = {}
    for part in parts:
        for path, values in part.items():
            keys.setdefault(path, {}).update(values)
    return keys


def registry_of(session):
    return {path.lower(): values for top in ODBC_KEYS for path, values in session.export_keys(top).items()}


# --- scenarios ------------------------------------------------------------------------

def without_a_display_the_run_ends_at_its_box(s):
    # The confirmation box cannot appear: the run ends with status 0 and
    # leaves the registry as it was. Wine's diagnostic for the box's window
    # shows that the program reached its box: a broken 32-bit Wine also ends
    # with status 0, having shown nothing.
    with WineSession(s.args.helpers, display=False) as bare:
        bare.import_keys(dsn(HKCU, "Sales", '{"Server":"db1"}', {"Server": "old"}))
        before = registry_of(bare)
        if not s.expect("Backup" in before.get(key(HKCU, "Sales").lower(), {}), "the registry was not seeded"):
            return
        result = bare.run([bare.program(s.exe)], debug="err+winediag", stderr=subprocess.PIPE)
        diagnostics = result.stderr.decode(errors="replace")
        s.expect(result.returncode == 0, f"exit status {result.returncode}, not 0")
        s.expect("nodrv_CreateWindow" in diagnostics,
                 f"the program never tried to show its confirmation box (Wine said: {diagnostics.strip() or 'nothing'})")
        s.expect(registry_of(bare) == before, "the registry changed")



def answers_other_than_yes_change_nothing(s):
    for answer in ("no", "cancel", "close"):
        s.seed(dsn(HKCU, "Sales", '{"Server":"db1"}', {"Server": "old"}))
        s.run([answer])
        s.expect_boxes(CONFIRMATION)
        s.expect_unchanged()


def no_dsn_of_the_driver_restores_0(s):
    s.seed({key(HKCU): {}, key(HKLM): {}})
    s.run()
    s.expect_boxes(CONFIRMATION, summary("0 DSN restored"))
    s.expect_unchanged()


def one_dsn_in_each_tree_restores_2(s):
    s.seed(merged(dsn(HKCU, "Sales", '{"Server":"user","Port":"5432"}', {"Server": "old", "Stale": "x"}),
                  dsn(HKLM, "Billing", '{"Server":"machine","Database":"billing"}', {"Timeout": "30"})))
    s.run()
    s.expect_boxes(CONFIRMATION, summary("2 DSNs restored"))
    s.expect_key(key(HKCU, "Sales"), {"Server": "user", "Port": "5432"})
    s.expect_key(key(HKLM, "Billing"), {"Server": "machine", "Database": "billing"})
    s.expect_unchanged(key(HKCU, "ODBC Data Sources"))


def machine_dsns_of_the_other_registry_view_are_left_alone(s):
    # Both views hold a DSN of the driver with a backup, under the same name.
    s.seed(merged(dsn(HKLM, "Billing", '{"Server":"own view"}', {"Server": "old"}),
                  dsn(HKLM, "Billing", '{"Server":"other view"}', {"Server": "old other"}, own_view=False),
                  dsn(HKLM, "Other", '{"Server":"other view only"}', {"Port": "1"}, own_view=False)))
    s.run()
    s.expect_boxes(CONFIRMATION, summary("1 DSN restored"))
    s.expect_key(key(HKLM, "Billing"), {"Server": "own view"})
    for path in (key(HKLM, "ODBC Data Sources", own_view=False), key(HKLM, "Billing", own_view=False),
                 key(HKLM, "Other", own_view=False)):
        s.expect_unchanged(path)
    s.expect(key(HKLM, "Other").lower() not in s.after, "the other view's DSN appeared in the program's own view")


def another_drivers_dsn_is_left_alone(s):
    s.seed(dsn(HKCU, "Foreign", '{"Server":"x"}', {"Server": "old"}, driver="SQL Server"))
    s.run()
    s.expect_boxes(CONFIRMATION, summary("0 DSN restored"))
    s.expect_unchanged()


def backup_that_is_not_json_is_shown_and_kept(s):
    s.seed(dsn(HKCU, "Sales", "not json", {"Server": "old"}))
    s.run()
    s.expect_boxes(CONFIRMATION,
                   ("invalid literal, expected a valid literal such as 'null'",
                    'The backup of DSN "Sales" could not be read: the JSON reader stopped at byte 0. '
                    "The DSN was left as it was.", ["OK"]),
                   summary("0 DSN restored"))
    s.expect_unchanged()


def member_that_is_not_a_string_is_refused(s):
    s.seed(dsn(HKCU, "Sales", '{"Server":"db1","Port":5432}', {"Server": "old"}))
    s.run()
    s.expect_boxes(CONFIRMATION,
                   ("Cannot restore DSN Sales",
                    'The backup of DSN "Sales" was not restored: its member "Port" is not a string. '
                    "The DSN was left as it was.", ["OK"]),
                   summary("0 DSN restored"))
    s.expect_unchanged()


def member_name_over_the_registry_limit_keeps_the_key(s):
    # The registry refuses value names over 16,383 units: the document is
    # refused before the key is touched, and the next DSN is still restored.
    long_name = "a" * 16384
    s.seed(merged(dsn(HKCU, "Alpha", '{"Server":"s1","' + long_name + '":"v"}', {"Server": "old"}),
                  dsn(HKCU, "Beta", '{"Server":"db2"}', {"Server": "old"})))
    s.run()
    s.expect_boxes(CONFIRMATION,
                   ("Cannot restore DSN Alpha",
                    'The backup of DSN "Alpha" was not restored: the name of its member "' + "a" * 40 +
                    '\u2026" has 16384 characters, and the registry takes value names of at most 16383. '
                    "The DSN was left as it was.", ["OK"]),
                   summary("1 DSN restored"))
    s.expect_unchanged(key(HKCU, "Alpha"))
    s.expect_key(key(HKCU, "Beta"), {"Server": "db2"})


def dsn_key_with_a_subkey_cannot_be_deleted(s):
    s.seed(merged(dsn(HKCU, "Sales", '{"Server":"db1"}', {"Server": "old"}), {key(HKCU, "Sales", "Options"): {}}))
    s.run()
    s.expect_boxes(CONFIRMATION,
                   (r"Cannot delete registry key SOFTWARE\ODBC\ODBC.ini\Sales", s.session.system_text(5), ["OK"]),
                   summary("0 DSN restored"))
    s.expect_unchanged()


def unicode_values_come_back_intact(s):
    values = {"Name": "caf\u00e9", "Cjk": "\u6570\u636e\u5e93", "Emoji": "\U0001F600", "Escaped": "\u00e9"}
    backup = '{"Name":"caf\u00e9","Cjk":"\u6570\u636e\u5e93","Emoji":"\U0001F600","Escaped":"\\u00e9"}'
    s.seed(dsn(HKCU, "Sales", backup, {"Server": "old"}))
    s.run()
    s.expect_boxes(CONFIRMATION, summary("1 DSN restored"))
    s.expect_key(key(HKCU, "Sales"), values)


def names_repeated_in_another_letter_case_are_one_value(s):
    # The registry keeps the first name and the last text; the tool, reading
    # the key back, must take that for what it wrote, Greek letters included.
    backup = '{"Server":"a","SERVER":"b","\u0394\u03b9\u03ba\u03c4\u03c5\u03bf":"c",' \
             '"\u0394\u0399\u039a\u03a4\u03a5\u039f":"d"}'
    s.seed(dsn(HKCU, "Sales", backup, {"Server": "old"}))
    s.run()
    s.expect_boxes(CONFIRMATION, summary("1 DSN restored"))
    s.expect_key(key(HKCU, "Sales"), {"Server": "b", "\u0394\u03b9\u03ba\u03c4\u03c5\u03bf": "d"})


def backup_over_64_kib_is_shown_and_skipped(s):
    s.seed(dsn(HKCU, "Sales", '{"Server":"' + "x" * 33000 + '"}', {"Server": "old"}))
    s.run()
    s.expect_boxes(CONFIRMATION, ("Cannot parse a Windows registry", s.session.system_text(234), ["OK"]),
                   summary("0 DSN restored"))
    s.expect_unchanged()


def two_hundred_dsns_in_one_run(s):
    s.seed(merged(*[dsn(HKCU, f"Dsn{i:03}", f'{{"Server":"db{i}","Port":"{i}"}}', {"Old": "1"}) for i in range(200)]))
    s.run()
    s.expect_boxes(CONFIRMATION, summary("200 DSNs restored"))
    for i in range(200):
        s.expect_key(key(HKCU, f"Dsn{i:03}"), {"Server": f"db{i}", "Port": str(i)})


# Each scenario with the kind of session it runs in: all but the first share
# one with a display; the first makes its own, without one.
SCENARIOS = [
    (without_a_display_the_run_ends_at_its_box, None),
    (answers_other_than_yes_change_nothing, "with_display"),
    (no_dsn_of_the_driver_restores_0, "with_display"),
    (one_dsn_in_each_tree_restores_2, "with_display"),
    (machine_dsns_of_the_other_registry_view_are_left_alone, "with_display"),
    (another_drivers_dsn_is_left_alone, "with_display"),
    (backup_that_is_not_json_is_shown_and_kept, "with_display"),
    (member_that_is_not_a_string_is_refused, "with_display"),
    (member_name_over_the_registry_limit_keeps_the_key, "with_display"),
    (dsn_key_with_a_subkey_cannot_be_deleted, "with_display"),
    (unicode_values_come_back_intact, "with_display"),
    (names_repeated_in_another_letter_case_are_one_value, "with_display"),
    (backup_over_64_kib_is_shown_and_skipped, "with_display"),
    (two_hundred_dsns_in_one_run, "with_display"),
]
SESSIONS = {"with_display": end_to_end.SessionKind(display=True)}


# Where each 32-bit process runs emulated.
SHORT = [without_a_display_the_run_ends_at_its_box, machine_dsns_of_the_other_registry_view_are_left_alone,
         one_dsn_in_each_tree_restores_2]


if __name__ == "__main__":
    sys.exit(end_to_end.main("dsn-restore", lambda args: SCENARIOS, SHORT, SESSIONS, Scenario))
