#!/usr/bin/env bash
# The tools' main job on sample data: builds the Windows executables, then,
# in a throwaway Wine prefix seeded with sample DSNs, runs dsn-restore
# (answering Yes) and cache-access-check, and prints what they showed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" >/dev/null
for preset in windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
echo "Deliverables: build/windows-x86/dsn_restore/dsn-restore.exe, build/windows-x86/cache_access_check/cache-access-check.exe"
echo "Running the x64 build of the same sources under Wine."
echo
python3 "$root/tools/wine_harness/demo.py" "$root/build/windows-x64"
