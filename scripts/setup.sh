#!/usr/bin/env bash
# Installs everything that building, running and testing the tools need on a
# fresh Debian or Ubuntu machine, the npm packages of the release's schema
# check, then yyjson's source. Safe to run again: what is already there is
# left alone.
#
# The deliverables are 32-bit programs, so Wine comes with its 32-bit loader
# (wine32 from the i386 architecture). Where the kernel refuses 32-bit code,
# 32-bit Wine runs under qemu-i386-static, registered through binfmt_misc;
# where 32-bit code runs natively, nothing is registered.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-dev llvm
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 wine32:i386 fonts-wine xvfb tmux python3
  xz-utils ca-certificates perl osslsigncode openssl
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

# The archive has refused the i386 indexes once, for a while: try again.
apt_update() {
  local try
  for try in 1 2 3 4 5; do
    as_root apt-get update -q && return 0
    echo "setup: apt-get update failed (try $try), again in $((try * 10)) s" >&2
    sleep $((try * 10))
  done
  return 1
}

# Installs the packages given that are not installed yet. --no-install-recommends
# matters for wine32: the recommended wine package brings a /usr/bin/wine that
# prefers the 32-bit loader.
install_missing() {
  local missing=() available=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt_update
  # A name this release does not have (Ubuntu names some packages otherwise)
  # is said and skipped rather than failing the whole install.
  for p in "${missing[@]}"; do
    if apt-cache show "$p" >/dev/null 2>&1; then available+=("$p"); else echo "setup: no package $p here, skipped" >&2; fi
  done
  as_root apt-get install -y -q --no-install-recommends "${available[@]}"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (for 32-bit Wine)"
  as_root dpkg --add-architecture i386
  # The package lists must learn the new architecture before anything installs.
  apt_update
fi
install_missing "${packages[@]}"

# The release's bill of materials is checked against the CycloneDX schema
# that an npm package ships: Node.js and npm (from Debian where neither is
# there), then exactly the packages of the lock file, without their scripts.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  install_missing nodejs npm
fi
schema_check="$root/tests/windows/sbom_schema"
if ! cmp -s "$schema_check/package-lock.json" "$schema_check/node_modules/.installed-lock.json"; then
  echo "setup: installing the schema check's npm packages (npm ci)"
  (cd "$schema_check" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
  cp "$schema_check/package-lock.json" "$schema_check/node_modules/.installed-lock.json"
fi

# Asked before anything is registered: see probe-32bit.sh.
mode=$("$root/scripts/probe-32bit.sh")
if [ "$mode" = refused ]; then
  echo "setup: this kernel refuses 32-bit programs: registering qemu-i386-static for them"
  install_missing qemu-user-static
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/status" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
  # ELF32, little-endian, i386, executable or shared object. F: the kernel
  # opens the interpreter now, so it also works inside other roots.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    as_root tee "$binfmt/register" >/dev/null
  mode=$("$root/scripts/probe-32bit.sh")
fi
echo "setup: 32-bit programs run $mode here"

"$root/scripts/fetch-yyjson.sh"
echo "setup: done"
