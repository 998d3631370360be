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

# Asked before anything is registered: see probe_32bit.py. Only a kernel that
# refuses 32-bit programs gets an emulator; a broken 32-bit Wine stops here.
mode=$("$root/scripts/probe_32bit.py")
case $mode in
  refused)
    echo "setup: this kernel refuses 32-bit programs: handing them to qemu-i386-static"
    install_missing qemu-user-static
    "$root/scripts/enable_32bit_emulation.sh"
    mode=$("$root/scripts/probe_32bit.py")
    ;;
  broken)
    echo "setup: 32-bit Wine is broken here (see the line above); nothing was registered" >&2
    exit 1
    ;;
esac
echo "setup: 32-bit programs run $mode here"

"$root/scripts/fetch-yyjson.sh"
echo "setup: done"
