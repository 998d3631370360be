#!/usr/bin/env bash
# Builds the Windows executables and says where they are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
echo "Built: $root/build/windows-x86/dsn_restore/dsn-restore.exe"
