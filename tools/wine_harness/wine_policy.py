#!/usr/bin/env python3
"""Which runs under Wine a build makes on this machine, and what they count
as: decided here alone, for CMake (the tests' labels), the demonstration
run, the pictures and the benchmark.

The deliverables are the i686 build. Where 32-bit code runs natively, they
run every suite and the x86_64 build of the same sources runs the short
set. Where it runs only emulated (about a minute a process), the x86_64
build stands in for the full suites and the deliverables run the short set.
Elsewhere the x86_64 build stands in alone and the deliverables do not run.
A stand-in or emulated run never counts as a native one.

usage: wine_policy.py plan i686|x86_64 [MODE]
         prints "SET;RUNS ON;WHY" (SET: full, short or none)
       wine_policy.py target [--pictures] [MODE]
         prints "PRESET;WHAT IT IS": the build that a run by hand uses,
         or that the README's pictures show
MODE is scripts/probe_32bit.py's word, asked when not given."""
import os
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def probe():
    """scripts/probe_32bit.py's word for this machine."""
    result = subprocess.run([os.path.join(SOURCE, "scripts", "probe_32bit.py")], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, check=False)
    return result.stdout.decode().strip() or "unknown"


def machine_mode():
    """The probe's word, unless HALVERNIK_I686_WINE names one by hand (to try
    the native sets through the emulator, say)."""
    return os.environ.get("HALVERNIK_I686_WINE") or probe()


def why_not_native(mode):
    return {
        "emulated": "32-bit code runs emulated here",
        "refused": "this kernel refuses 32-bit code and no emulator is registered",
        "broken": "32-bit Wine is broken here",
    }.get(mode, "how 32-bit code runs here is unknown")


def plan(build, mode):
    """(set, runs on, why) for a build: i686 or x86_64."""
    if build == "i686":
        if mode == "native":
            return "full", "i686 (native)", ""
        if mode == "emulated":
            return "short", "i686 (emulated)", why_not_native(mode) + ": the short set"
        return "none", "i686", why_not_native(mode) + ": the deliverables did not run"
    if mode == "native":
        return "short", "x86_64 (beside the native deliverables)", ""
    return "full", "x86_64 (stand-in)", why_not_native(mode)


def target(mode, pictures=False):
    """(preset, what it is) for a run by hand: the deliverables where they
    run natively, never emulated ones (a run would take minutes), else the
    x86_64 build. The pictures show what ships wherever it runs at all: a
    picture does not care how long it took."""
    if mode == "native" or (pictures and mode == "emulated"):
        return "windows-x86", f"i686 ({mode})"
    return "windows-x64", f"x86_64 (stand-in: {why_not_native(mode)})"


def main(argv):
    words = [word for word in argv[1:] if not word.startswith("--")]
    if len(words) in (2, 3) and words[0] == "plan" and words[1] in ("i686", "x86_64"):
        mode = words[2] if len(words) > 2 else machine_mode()
        chosen, runs_on, why = plan(words[1], mode)
        if len(words) == 2 and os.environ.get("HALVERNIK_I686_WINE") and probe() != mode:
            # Named by hand: the label keeps what the machine really does.
            runs_on += f", set by hand where the probe says {probe()}"
        print(";".join((chosen, runs_on, why)))
    elif len(words) in (1, 2) and words[0] == "target":
        print(";".join(target(words[1] if len(words) > 1 else machine_mode(), "--pictures" in argv)))
    else:
        print(__doc__.split("usage: ", 1)[1], file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
