#!/usr/bin/env python3
"""Runs the benchmarks and prints their table; writes the same to
docs/benchmarks.md with the date and the machine. No figure here is a test.

usage: run_benchmarks.py SOURCE_DIR BUILD_DIR LABEL
  BUILD_DIR  the Windows build measured: windows-x86 (the deliverables) where
             32-bit code runs natively, windows-x64 elsewhere (never emulated)
  LABEL      what it is, for the table
(after the linux build and that build of the `benchmarks` target;
scripts/benchmark.sh does all of it)

A step that fails, a measured run among them, says which step and why, in
one line, and ends the run: a run that failed is never timed."""
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

source = os.path.abspath(sys.argv[1])
WIN = os.path.abspath(sys.argv[2])
LABEL = sys.argv[3]
sys.path.insert(0, os.path.join(source, "tools", "wine_harness"))
from wine_session import WINESERVER, WineSession, helpers_of  # noqa: E402

SIZES = {10: 10, 100: 10, 1000: 5, 10000: 3}  # N: repeated runs
PROCESS_RUNS = 15


class StepFailed(Exception):
    pass


def run_step(what, function, *args):
    """Runs one step; any failure becomes one line that names the step."""
    try:
        return function(*args)
    except StepFailed:
        raise
    except subprocess.CalledProcessError as error:
        output = (error.stderr or error.stdout or b"").decode(errors="replace").strip().splitlines()
        raise StepFailed(f"{what}: {os.path.basename(str(error.cmd[1] if len(error.cmd) > 1 else error.cmd[0]))} "
                         f"exited with {error.returncode}" + (f" ({output[-1]})" if output else ""))
    except Exception as error:  # noqa: BLE001 - anything else is still one line
        raise StepFailed(f"{what}: {type(error).__name__}: {error}")


def run_restore_benchmark(session, n, repeats, reg_file):
    """restore-benchmark.exe's output. Its standard error goes to a file, not
    a pipe: Wine's own services, which it may start, keep that stream open
    long after it ends."""
    with tempfile.TemporaryFile() as errors:
        result = session.run([os.path.join(WIN, "benchmarks", "restore-benchmark.exe"), str(n), str(repeats),
                              reg_file], stderr=errors, timeout=None)
        if result.returncode != 0:
            errors.seek(0)
            said = errors.read().decode(errors="replace").strip().splitlines()
            raise StepFailed(f"restore benchmark at N = {n:,}: restore-benchmark.exe exited with "
                             f"{result.returncode}" + (f" ({said[-1]})" if said else ""))
    return result.stdout.decode()


def spread(values):
    return min(values), statistics.median(values), max(values)


def failed_run(args, status):
    return StepFailed(f"{os.path.basename(args[0])} exited with {status}: a run that failed is not timed")


def time_process(session, args, runs, cwd=None):
    """Wall time of whole Wine runs, in ms, with standard input at its end."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = session.run(args, cwd=cwd, stdout=subprocess.DEVNULL)
        times.append((time.perf_counter() - start) * 1000)
        if result.returncode != 0:
            raise failed_run(args, result.returncode)
    return times


def time_to_first_line(session, args, runs, cwd=None):
    """Wall time from starting a Wine run to its first line of output, in ms."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        process = session.start(args, cwd=cwd, stdout=subprocess.PIPE)
        line = process.stdout.readline()
        times.append((time.perf_counter() - start) * 1000)
        process.communicate()
        if process.returncode != 0:
            raise failed_run(args, process.returncode)
        if not line.endswith(b"\n"):
            raise StepFailed(f"{os.path.basename(args[0])} wrote no line: a run that failed is not timed")
    return times


def machine():
    cpu = "unknown processor"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{platform.system()} {platform.release()}, {cpu}, {os.cpu_count()} cores"


def main():
    # Wine answers every registry call from its wineserver process. On this
    # kind of virtual machine, waking a process on the other core costs far
    # more than the call itself and varies from run to run; on one core the
    # figures are steady, and closer to Windows, where a registry call is a
    # system call. Every process below inherits this.
    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
    rows = []  # (figure, values, reference values or None, goal text)
    phases = {}
    with run_step("making the Wine prefix", WineSession, helpers_of(WIN), False) as session:
        wine_version = session.run(["--version"]).stdout.decode().strip() or "wine"
        # Keep one wineserver for the whole run, so no figure pays for its start.
        subprocess.Popen([WINESERVER, "-p"], env=session.env)
        reg_file = session.windows_path(os.path.join(session.root, "bench.reg"))
        restore, minimal, imports = {}, {}, {}
        for n, repeats in SIZES.items():
            out = run_step(f"restore benchmark at N = {n:,}", run_restore_benchmark, session, n, repeats, reg_file)
            for line in out.splitlines():
                parts = line.split()
                if parts[0] in ("restore", "minimal", "import"):
                    {"restore": restore, "minimal": minimal, "import": imports}[parts[0]].setdefault(n, []).append(
                        float(parts[2]))
                elif parts[0] == "phase":
                    phases.setdefault(n, {})[parts[1]] = float(parts[3])
        for n in SIZES:
            goal = "ratio at most 1.0" if n == 1000 else ""
            rows.append((f"restore, N = {n:,} (ms), against reg import", restore[n], imports[n], goal))
        for n in SIZES:
            goal = "ratio at most 1.1" if n == 10000 else ""
            rows.append((f"restore, N = {n:,} (ms), against its registry calls alone", restore[n], minimal[n], goal))
        per_dsn = {n: [t / n for t in restore[n]] for n in SIZES}
        for n in SIZES:
            reference = per_dsn[100] if n == 10000 else None
            goal = "ratio at most 1.25" if n == 10000 else ""
            rows.append((f"restore per DSN, N = {n:,} (ms)" + (", against N = 100" if reference else ""),
                         per_dsn[n], reference, goal))

        # The check, whole, against the same opens and deletes alone.
        cache = run_step("finding the cache folder", session.cache_folder)[1]
        os.makedirs(cache, exist_ok=True)
        with tempfile.TemporaryDirectory() as folder:
            check = run_step("timing cache-access-check", time_process, session,
                             [os.path.join(WIN, "cache_access_check", "cache-access-check.exe")], PROCESS_RUNS, folder)
            opens = run_step("timing file-opens-minimal", time_process, session,
                             [os.path.join(WIN, "benchmarks", "file-opens-minimal.exe")], PROCESS_RUNS, folder)
        rows.append(("cache-access-check run (ms), against the same 24 opens and 12 deletes alone", check, opens,
                     "ratio at most 1.2"))

        # Start-up: with no display the confirmation box cannot appear, so the
        # run ends where the box would show.
        starts = {}
        for name in ("dsn_restore/dsn-restore", "benchmarks/empty-program-like-dsn-restore",
                     "benchmarks/empty-program"):
            starts[name] = run_step(f"timing the start of {os.path.basename(name)}", time_process, session,
                                    [os.path.join(WIN, name + ".exe")], PROCESS_RUNS)
        rows.append(("dsn-restore start to its confirmation (ms), against an empty program with its manifest, "
                     "imports and confirmation box", starts["dsn_restore/dsn-restore"],
                     starts["benchmarks/empty-program-like-dsn-restore"], "ratio at most 1.2"))
        rows.append(("dsn-restore start to its confirmation (ms), against a bare empty program",
                     starts["dsn_restore/dsn-restore"], starts["benchmarks/empty-program"], ""))
        # With the cache folder gone, the first line is the first attempt's error.
        shutil.rmtree(cache)
        lines = {}
        with tempfile.TemporaryDirectory() as folder:
            for name in ("cache_access_check/cache-access-check", "benchmarks/empty-console-program-like-check",
                         "benchmarks/empty-console-program"):
                lines[name] = run_step(f"timing the first line of {os.path.basename(name)}", time_to_first_line,
                                       session, [os.path.join(WIN, name + ".exe")], PROCESS_RUNS, folder)
        rows.append(("cache-access-check start to its first line (ms), against an empty console program with its "
                     "manifest and imports", lines["cache_access_check/cache-access-check"],
                     lines["benchmarks/empty-console-program-like-check"], "ratio at most 1.2"))
        rows.append(("cache-access-check start to its first line (ms), against a bare empty console program",
                     lines["cache_access_check/cache-access-check"], lines["benchmarks/empty-console-program"], ""))

    calls = run_step("counting registry calls on the Linux fake", lambda: subprocess.run(
        [os.path.join(source, "build", "linux", "benchmarks", "registry_calls")], check=True,
        stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout.decode())

    table = ["| figure | min | median | max | reference median | ratio | goal |", "|---|---|---|---|---|---|---|"]
    for figure, values, reference, goal in rows:
        low, mid, high = spread(values)
        ref = statistics.median(reference) if reference else None
        ratio = f"{mid / ref:.2f}" if ref else ""
        verdict = ""
        if goal:
            limit = float(goal.split()[-1])
            verdict = f"{goal}: {'met' if mid / ref <= limit else 'missed'}"
        table.append(f"| {figure} | {low:.4g} | {mid:.4g} | {high:.4g} | {'' if ref is None else f'{ref:.4g}'} "
                     f"| {ratio} | {verdict} |")
    phase_rows = ["| N | listing the DSNs | reading the backups | rewriting the keys |", "|---|---|---|---|"]
    for n, parts in phases.items():
        phase_rows.append(f"| {n:,} | {parts['list']:.4g} ms | {parts['read']:.4g} ms | {parts['rewrite']:.4g} ms |")

    print(f"measured: {LABEL}")
    print("\n".join(table))
    print()
    print("\n".join(phase_rows))
    print()
    print(calls)

    notes_file = os.path.join(source, "benchmarks", "analysis.md")
    notes = open(notes_file, encoding="utf-8").read() if os.path.exists(notes_file) else ""
    with open(os.path.join(source, "docs", "benchmarks.md"), "w", encoding="utf-8") as out:
        out.write("# Benchmarks\n\n")
        out.write(f"Run on {datetime.date.today().isoformat()}, on {machine()}, under {wine_version}, "
                  f"measuring {LABEL}. Made by `scripts/benchmark.sh`; times are wall-clock, over repeated "
                  "runs.\n\n")
        out.write("\n".join(table) + "\n\n")
        out.write("Where one restore pass spends its time (one more run at each N):\n\n")
        out.write("\n".join(phase_rows) + "\n\n")
        out.write("Registry calls per DSN, counted on the Linux fake (N = 1,000, twelve members each):\n\n")
        out.write(calls + "\n")
        out.write(notes)


if __name__ == "__main__":
    try:
        main()
    except StepFailed as failure:
        print(f"benchmark: {failure}", file=sys.stderr)
        sys.exit(1)
