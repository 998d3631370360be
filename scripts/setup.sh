#!/usr/bin/env bash
# Installs everything that building, running and testing the tools need on a
# fresh Debian or Ubuntu machine, then fetches yyjson's source. Safe to run
# again: what is already there is left alone.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-dev llvm
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 fonts-wine xvfb python3
  xz-utils ca-certificates perl
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q
  # A name this release does not have (Ubuntu names some packages otherwise)
  # is said and skipped rather than failing the whole install.
  available=()
  for p in "${missing[@]}"; do
    if apt-cache show "$p" >/dev/null 2>&1; then available+=("$p"); else echo "setup: no package $p here, skipped" >&2; fi
  done
  as_root apt-get install -y -q --no-install-recommends "${available[@]}"
fi

"$root/scripts/fetch-yyjson.sh"
echo "setup: done"
