#!/usr/bin/env bash
# Builds every preset and runs every test: the unit tests on the Win32 fake
# (Linux build), the PE checks of the 32-bit deliverables, and the runs of the
# x64 build under Wine. Installs what is missing first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" || exit 1

failed=()
for preset in linux windows-x86 windows-x64; do
  echo "=== $preset: build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    failed+=("$preset (build)")
    continue
  fi
  echo "=== $preset: tests"
  ctest --preset "$preset" || failed+=("$preset (tests)")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets built and all tests passed."
