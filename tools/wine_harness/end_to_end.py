"""The shape of an end-to-end suite of a built program: named scenarios,
each of which sets up, runs and checks, in a Wine session that scenarios of
its kind share.

CTest runs each scenario as a test of its own (tests/windows/CMakeLists.txt
asks the suite for its list); each kind of shared session is made once per
test run by a fixture, whose set-up and clean-up are this same command. Run
by hand without --sessions, the suite makes the sessions it needs itself,
runs the scenarios named (or its whole set) and prints a table.

  SUITE --list [--set full|short] [SUITE OPTIONS]
      one line per scenario of the set: its name, the kind of session it
      runs in ("-": none shared) and the other fixtures it needs
  SUITE --set-up-session KIND --sessions DIR --helpers DIR
  SUITE --clean-up-session KIND --sessions DIR
  SUITE EXE --helpers DIR [--set full|short] [--scenario NAME]... [--sessions DIR] [SUITE OPTIONS]

A suite module defines its scenarios as functions of a Scenario (or of a
subclass with the suite's own set-ups), its kinds of session, and calls
main()."""
import argparse
import os
import traceback

from wine_session import WineSession, compare_lines, pe_is_32_bit


class Scenario:
    """One scenario's state: the suite's arguments, its session and the
    problems found."""

    def __init__(self, args, session, name):
        self.args, self.session, self.name, self.problems = args, session, name, []

    def folder(self):
        """A new folder of the scenario's own, below its session's root:
        never one that another scenario had."""
        return self.session.folder(self.name)

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


class SessionKind:
    """A kind of Wine session that several scenarios run in: with a display
    or not, as an unprivileged user or not, and prepared alike."""

    def __init__(self, display=False, as_user=False, prepare=None):
        self.display, self.as_user, self.prepare = display, as_user, prepare

    def make(self, helpers, shared=False):
        """A new session of this kind; shared: one that the scenarios of a
        test run take in turn, its Wine server kept running from the start."""
        session = WineSession(helpers, display=self.display, as_user=self.as_user)
        try:
            if shared:
                session.keep_server_running()
            if self.prepare:
                self.prepare(session)
        except BaseException:
            session.close()
            raise
        return session


class Sessions:
    """The suite's sessions, by kind: those that fixtures share (--sessions),
    or made here when a scenario first needs one, and closed at the end."""

    def __init__(self, kinds, args):
        self.kinds, self.args, self.made = kinds, args, {}

    def get(self, kind):
        if kind is None:
            return None
        if kind not in self.made:
            if self.args.sessions:
                self.made[kind] = WineSession.attach(state_file(self.args.sessions, kind))
            else:
                self.made[kind] = self.kinds[kind].make(self.args.helpers)
        return self.made[kind]

    def close(self):
        for session in self.made.values():
            session.close()


def state_file(sessions_dir, kind):
    return os.path.join(sessions_dir, kind + ".json")


def set_up_session(name, kind, args):
    """A fixture's set-up: the session made and handed to the scenarios that
    follow; one that a run cut short left behind is ended first."""
    path = state_file(args.sessions, name)
    WineSession.end_shared(path)
    session = kind.make(args.helpers, shared=True)
    try:
        session.share(path)
    except BaseException:
        session.close()
        raise
    print(f"Wine session {name}: {session.root}" + (f", display {session.env['DISPLAY']}" if kind.display else "")
          + (f", as {session.user.name}" if kind.as_user else ""))
    return 0


def arguments(description, extra):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("exe", nargs="?", help="the program under test: the i686 deliverable, or the x86_64 build "
                                               "of the same sources standing in for it")
    parser.add_argument("--helpers", help="the folder of box-driver.exe and hold-file.exe")
    parser.add_argument("--set", choices=("full", "short"), default="full",
                        help="short: the few scenarios that run where each 32-bit process is emulated")
    parser.add_argument("--scenario", action="append", default=[], help="a scenario to run (by default, the set)")
    parser.add_argument("--sessions", help="the folder of the sessions that the fixtures share")
    parser.add_argument("--list", action="store_true", help="lists the scenarios of the set, for CTest")
    parser.add_argument("--set-up-session", metavar="KIND", help="a fixture's set-up: makes a shared session")
    parser.add_argument("--clean-up-session", metavar="KIND", help="a fixture's clean-up: ends a shared session")
    for flags, options in extra:
        parser.add_argument(*flags, **options)
    args = parser.parse_args()
    if (args.set_up_session or args.clean_up_session) and not args.sessions:
        parser.error("a fixture's session needs --sessions")
    if not (args.list or args.set_up_session or args.clean_up_session):
        if not args.exe or not args.helpers:
            parser.error("the program under test and --helpers are needed to run scenarios")
        args.exe = os.path.abspath(args.exe)
        args.is_32_bit = pe_is_32_bit(args.exe)
    return args


def main(title, scenarios, short, kinds, make_scenario, extra=(), needs=lambda args, scenario: ()):
    """The suite's command (see above); returns the exit status.
    scenarios(args): [(scenario, kind of session or None)]; short: the
    scenarios of the short set; kinds: {name: SessionKind};
    make_scenario(args, session, name): a Scenario; needs(args, scenario): the
    other fixtures a scenario needs."""
    args = arguments(f"{title} end to end under Wine", extra)
    if args.set_up_session:
        return set_up_session(args.set_up_session, kinds[args.set_up_session], args)
    if args.clean_up_session:
        WineSession.end_shared(state_file(args.sessions, args.clean_up_session))
        return 0
    chosen = [(scenario, kind) for scenario, kind in scenarios(args) if args.set == "full" or scenario in short]
    if args.list:
        for scenario, kind in chosen:
            print(" ".join([scenario.__name__, kind or "-"] + list(needs(args, scenario))))
        return 0
    by_name = {scenario.__name__: (scenario, kind) for scenario, kind in chosen}
    unknown = [name for name in args.scenario if name not in by_name]
    if unknown:
        print(f"no such scenario in the {args.set} set: {', '.join(unknown)}")
        return 2
    if args.scenario:
        chosen = [by_name[name] for name in args.scenario]
    return run(title, chosen, Sessions(kinds, args), args, make_scenario)


def run(title, chosen, sessions, args, make_scenario):
    """Runs the scenarios chosen and prints how each ended, as a table."""
    print(f"{title} under test: {args.exe} ({'i686' if args.is_32_bit else 'x86_64'}), {args.set} set")
    results = []
    try:
        for scenario, kind in chosen:
            problems = []
            try:
                s = make_scenario(args, sessions.get(kind), scenario.__name__)
                problems = s.problems
                scenario(s)
            except Exception:  # a harness failure fails the scenario, not the suite
                problems.append(traceback.format_exc())
            results.append((scenario.__name__.replace("_", " "), problems))
    finally:
        sessions.close()

    width = max([len(name) for name, _ in results] + [len("scenario")])
    print(f"{'scenario'.ljust(width)}  result")
    for name, problems in results:
        print(f"{name.ljust(width)}  {'passed' if not problems else 'FAILED'}")
        for problem in problems:
            print("    " + str(problem).replace("\n", "\n    "))
    failed = sum(1 for _, problems in results if problems)
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0
