#!/usr/bin/env bash
# Runs the benchmarks (under Wine, and call counts on the Linux fake), prints
# their table and writes it to docs/benchmarks.md. Not part of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" >/dev/null
for preset in linux windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target benchmarks >/dev/null
done
python3 "$root/benchmarks/run_benchmarks.py" "$root"
