#!/usr/bin/env bash
# Runs the benchmarks (under Wine, and call counts on the Linux fake), prints
# their table and writes it to docs/benchmarks.md. Not part of the tests.
# Measures the i686 deliverables where 32-bit code runs natively, the x64
# build of the same sources elsewhere (never emulated), and says which.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" >/dev/null
. "$root/scripts/wine_target.sh"
cmake --preset linux >/dev/null
cmake --build --preset linux --target benchmarks >/dev/null
cmake --build "$wine_build" --target benchmarks >/dev/null
echo "benchmark: measuring $wine_label"
python3 "$root/benchmarks/run_benchmarks.py" "$root" "$wine_build" "$wine_label"
