#!/usr/bin/env bash
# Builds the deliverables (the windows-x86 preset) in a fresh build folder and
# writes the release: both executables, their symbols (the unstripped copies,
# which match the shipped files) and SHA256SUMS.
#
# usage: scripts/release.sh [--pfx FILE] [--out DIR]
#   --pfx FILE  signs both executables (Authenticode, SHA-256, osslsigncode)
#               with the certificate and key in that PKCS#12 file, before the
#               checksums are taken. Its password comes from the environment
#               variable HALVERNIK_SIGN_PASSWORD, never from the command line.
#               No timestamp server is asked (see README).
#   --out DIR   where the release goes (default: dist/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pfx="" out="$root/dist"
while [ $# -gt 0 ]; do
  case $1 in
    --pfx) pfx=$(realpath "$2"); shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: scripts/release.sh [--pfx FILE] [--out DIR]" >&2; exit 2 ;;
  esac
done
if [ -n "$pfx" ] && [ -z "${HALVERNIK_SIGN_PASSWORD+set}" ]; then
  echo "release: set HALVERNIK_SIGN_PASSWORD to the password of $pfx (it may be empty)" >&2
  exit 2
fi

cd "$root"
"$root/scripts/setup.sh" >/dev/null
build="$root/build/release-x86"
rm -rf "$build"
cmake --preset windows-x86 -B "$build" -DHALVERNIK_I686_WINE=none >/dev/null
cmake --build "$build" --target dsn_restore cache_access_check >/dev/null

rm -rf "$out"
mkdir -p "$out/symbols"
exes=(dsn-restore.exe cache-access-check.exe)
cp "$build/dsn_restore/dsn-restore.exe" "$build/cache_access_check/cache-access-check.exe" "$out/"
for exe in "${exes[@]}"; do cp "$build/symbols/$exe" "$out/symbols/"; done

if [ -n "$pfx" ]; then
  for exe in "${exes[@]}"; do
    # The password reaches osslsigncode through a pipe, not its arguments,
    # which any user of the machine can read.
    osslsigncode sign -pkcs12 "$pfx" -readpass <(printf '%s' "$HALVERNIK_SIGN_PASSWORD") -h sha256 \
      -n "Halvernik ODBC Driver maintenance tools" -in "$out/$exe" -out "$out/$exe.signed" >/dev/null
    mv "$out/$exe.signed" "$out/$exe"
  done
  echo "release: signed ${exes[*]} with $(basename "$pfx")"
fi

(cd "$out" && sha256sum "${exes[@]}" "${exes[@]/#/symbols/}" >SHA256SUMS)
echo "release: $out"
sed 's/^/  /' "$out/SHA256SUMS"
