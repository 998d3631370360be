#!/usr/bin/env bash
# Builds every preset and runs every test, one CMake workflow per preset
# (configure, build, test): the unit tests and the fault sweep on the Win32
# fake (linux), the same under AddressSanitizer and UndefinedBehaviorSanitizer
# (linux-sanitize, then a bounded fuzz run), and the Windows builds' image
# checks, release checks and runs under Wine (windows-x64, windows-x86), as
# tools/wine_harness/wine_policy.py decides for this machine. Installs what
# is missing first, and ends by saying what ran on what.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=$root/build
presets=(linux linux-sanitize windows-x64 windows-x86)

run_workflow() {  # run_workflow PRESET: configure, build and test it; false if a step failed
  # An earlier run's results must never stand for this one's.
  rm -f "$build_root/$1/junit.xml" "$build_root/$1/Testing/Temporary/LastTest.log"
  echo "=== $1"
  (cd "$root" && cmake --workflow --preset "$1")
}

print_figures() {  # print_figures PRESET: the fault sweep's figures and the suites' tables
  local log="$build_root/$1/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || return 0
  # Its lines, and the indented runs per form below the one that heads them.
  awk '/fault sweep:/ { print; forms = /per form/; next } forms && /^  / { print; next } { forms = 0 }' "$log" |
    sed "s/^/$1: /"
  sed -n '/^[a-z-]* under test: /,/^[0-9]* passed, [0-9]* failed$/p' "$log"
}

main() {
  "$root/scripts/setup.sh" || exit 1
  echo "=== 32-bit code on this machine: $("$root/scripts/probe_32bit.py" --explain)"
  local failed=() preset
  for preset in "${presets[@]}"; do
    run_workflow "$preset" || failed+=("$preset")
    print_figures "$preset"
    if [ "$preset" = linux-sanitize ]; then
      echo "=== $preset: fuzzing"
      "$root/scripts/fuzz.sh" 60 || failed+=("fuzzing")
    fi
  done
  python3 "$root/scripts/closing_lines.py" "${presets[@]/#/$build_root/}"
  if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
  fi
  echo "All presets built and all tests passed."
}

# Sourced by its own test, which runs one workflow at a time.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
