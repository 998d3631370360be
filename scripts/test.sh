#!/usr/bin/env bash
# Builds every preset and runs every test: the unit tests and the fault sweep
# on the Win32 fake (Linux build), the same under AddressSanitizer and
# UndefinedBehaviorSanitizer with a bounded fuzz run, the PE checks of both
# Windows builds, and the runs under Wine: on the i686 deliverables where this
# machine runs 32-bit code natively; elsewhere the full suites on the x64
# build and a short set on the emulated deliverables. Installs what is missing
# first, and ends by saying what ran on what.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" || exit 1

mode=$("$root/scripts/probe_32bit.py")
case $mode in
  native) echo "=== this machine runs 32-bit code natively: every run under Wine uses the i686 deliverables" ;;
  emulated) echo "=== this machine runs 32-bit code only emulated (qemu-i386-static): the full suites run on the x86_64 build, a short set on the i686 deliverables" ;;
  *) mode=none; echo "=== this machine cannot run 32-bit Wine: the suites run on the x86_64 build only" ;;
esac

failed=()
# windows-x64 before windows-x86: its helpers drive the runs of both.
for preset in linux linux-sanitize windows-x64 windows-x86; do
  echo "=== $preset: build"
  if ! { cmake --preset "$preset" -DHALVERNIK_I686_WINE="$mode" >/dev/null && cmake --build --preset "$preset"; }; then
    failed+=("$preset (build)")
    continue
  fi
  echo "=== $preset: tests"
  ctest --preset "$preset" --output-junit junit.xml || failed+=("$preset (tests)")
  log="build/$preset/Testing/Temporary/LastTest.log"
  case $preset in
    linux | linux-sanitize)
      # The fault sweep's figures.
      grep -h "fault sweep:" "$log" 2>/dev/null | sed "s/^/$preset: /"
      ;;
    windows-*)
      # The end-to-end suite's table of scenarios.
      sed -n '/^dsn-restore under test: /,/^[0-9]* passed, [0-9]* failed$/p' "$log" 2>/dev/null
      ;;
  esac
  if [ "$preset" = linux-sanitize ]; then
    echo "=== $preset: fuzzing"
    "$root/scripts/fuzz.sh" 60 || failed+=("fuzzing")
  fi
done

python3 "$root/scripts/wine_stage_report.py" "$mode" build/windows-x64 build/windows-x86

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets built and all tests passed."
