#!/usr/bin/env bash
# Takes the pictures that the README shows (docs/pictures/): dsn-restore's
# boxes from an Xvfb display during a run on sample data, and
# cache-access-check's console window. They show what ships wherever 32-bit
# code runs at all, emulated included.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" >/dev/null
wine_target_for=--pictures
. "$root/scripts/wine_target.sh"
echo "Pictures of $wine_label."
python3 "$root/tools/wine_harness/take_pictures.py" "$wine_build" "$root/docs/pictures"
