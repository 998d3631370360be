#!/usr/bin/env bash
# Builds every preset and runs every test: the unit tests and the fault sweep
# on the Win32 fake (Linux build), the same under AddressSanitizer and
# UndefinedBehaviorSanitizer with a bounded fuzz run, the PE checks of the
# 32-bit deliverables, and the runs of the x64 build under Wine. Installs what
# is missing first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" || exit 1

failed=()
for preset in linux linux-sanitize windows-x86 windows-x64; do
  echo "=== $preset: build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    failed+=("$preset (build)")
    continue
  fi
  echo "=== $preset: tests"
  ctest --preset "$preset" || failed+=("$preset (tests)")
  log="build/$preset/Testing/Temporary/LastTest.log"
  case $preset in
    linux | linux-sanitize)
      # The fault sweep's figures.
      grep -h "fault sweep:" "$log" 2>/dev/null | sed "s/^/$preset: /"
      ;;
    windows-x64)
      # The end-to-end suite's table of scenarios.
      sed -n '/^scenario  /,/^[0-9]* passed, [0-9]* failed$/p' "$log" 2>/dev/null
      ;;
  esac
  if [ "$preset" = linux-sanitize ]; then
    echo "=== $preset: fuzzing"
    "$root/scripts/fuzz.sh" 60 || failed+=("fuzzing")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets built and all tests passed."
