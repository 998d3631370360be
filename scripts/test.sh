#!/usr/bin/env bash
# Builds every preset and runs every test, one CMake workflow per preset
# (configure, build, test): the unit tests and the fault sweep on the Win32
# fake (linux), the same under AddressSanitizer and UndefinedBehaviorSanitizer
# (linux-sanitize, then a bounded fuzz run), and the Windows builds' image
# checks, release checks and runs under Wine (windows-x64, windows-x86), as
# tools/wine_harness/wine_policy.py decides for this machine. Installs what
# is missing first, and ends by saying what ran on what.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=$root/build
presets=(linux linux-sanitize windows-x64 windows-x86)

# The sweeps whose figures each of these builds must leave, one file per
# sweep (build/<preset>/figures/<sweep>.txt): a sweep whose file is missing
# or empty fails the test command.
sweeps=(dsn_restore_fault_sweep cache_access_check_fault_sweep dsn_restore_interference_sweep
  cache_access_check_interference_sweep)
sweep_presets=(linux linux-sanitize)

run_workflow() {  # run_workflow PRESET: configure, build and test it; false if a step failed
  # An earlier run's results must never stand for this one's.
  rm -rf "$build_root/$1/junit.xml" "$build_root/$1/Testing/Temporary/LastTest.log" "$build_root/$1/figures"
  echo "=== $1"
  (cd "$root" && cmake --workflow --preset "$1")
}

print_figures() {  # print_figures PRESET: the sweeps' figures and the suites' tables; false if figures are missing
  local build=$build_root/$1 sweep file status=0
  if [[ " ${sweep_presets[*]} " == *" $1 "* ]]; then
    for sweep in "${sweeps[@]}"; do
      file=$build/figures/$sweep.txt
      if [ -s "$file" ]; then
        sed "s/^/$1: /" "$file"
      else
        echo "$1: FAILED: no figures from the $sweep ($file is $([ -e "$file" ] && echo empty || echo missing))"
        status=1
      fi
    done
  fi
  python3 "$root/scripts/scenario_tables.py" "$build" || status=1
  return $status
}

main() {
  "$root/scripts/setup.sh" || exit 1
  echo "=== 32-bit code on this machine: $("$root/scripts/probe_32bit.py" --explain)"
  local failed=() preset
  for preset in "${presets[@]}"; do
    run_workflow "$preset" || failed+=("$preset")
    print_figures "$preset" || failed+=("$preset's figures")
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
