#!/usr/bin/env bash
# Takes the pictures of dsn-restore's boxes that the README shows
# (docs/pictures/), from an Xvfb display, during a run on sample data.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" >/dev/null
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 >/dev/null
python3 "$root/tools/wine_harness/take_pictures.py" "$root/build/windows-x64" "$root/docs/pictures"
