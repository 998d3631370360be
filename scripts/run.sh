#!/usr/bin/env bash
# The tools' main job on sample data: builds the Windows executables, then,
# in a throwaway Wine prefix seeded with sample DSNs, runs dsn-restore
# (answering Yes) and cache-access-check, and prints what they showed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" >/dev/null
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 >/dev/null
. "$root/scripts/wine_target.sh"
echo "Deliverables: build/windows-x86/dsn_restore/dsn-restore.exe, build/windows-x86/cache_access_check/cache-access-check.exe"
echo "Running under Wine: $wine_label."
echo
python3 "$root/tools/wine_harness/demo.py" "$wine_build"
