#!/usr/bin/env bash
# The signed release, end to end: a throwaway self-signed code-signing
# certificate, scripts/release.sh with it, then both signatures verified, the
# checksums, the PE headers with their manifest and version resource, the
# symbols against the shipped files. The signed release stays in OUT_DIR,
# where cache-access-check's suite runs it.
# usage: release_signed.sh SOURCE_DIR OBJDUMP STRIP OUT_DIR
set -uo pipefail
root=$(realpath "$1") objdump=$2 strip=$3 dist=$(realpath -m "$4")
work=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

password=$(openssl rand -hex 12)
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Halvernik throwaway test signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" -passout "pass:$password"
rm -rf "$dist"
if ! HALVERNIK_SIGN_PASSWORD=$password "$root/scripts/release.sh" --pfx "$work/sign.pfx" --out "$dist"; then
  echo "FAILED: scripts/release.sh"
  exit 1
fi
build=$root/build/release-x86

# Where the unsigned image and the signed one minus its signature differ:
# only in the PE checksum, which signing computes again, and in the zeros
# that pad the image for its signature.
only_checksum_differs() {  # only_checksum_differs BUILT UNSIGNED
  local pe field size
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  field=$((pe + 24 + 64))  # PE signature, file header, then CheckSum in the optional header
  size=$(stat -c %s "$1")
  { cmp -l "$1" <(head -c "$size" "$2") || true; } |
    awk -v lo=$((field + 1)) -v hi=$((field + 4)) '$1 < lo || $1 > hi { bad = 1 } END { exit bad }' &&
    test -z "$(tail -c +$((size + 1)) "$2" | tr -d '\0')"
}

for exe in dsn-restore.exe cache-access-check.exe; do
  echo "--- $exe"
  check "the signature verifies" bash -c 'osslsigncode verify -CAfile "$1" -in "$2" | grep -q "^Signature verification: ok"' \
    _ "$work/cert.pem" "$dist/$exe"
  check "signed with SHA-256" bash -c 'osslsigncode verify -CAfile "$1" -in "$2" | grep -qi "digest algorithm *: *sha256"' \
    _ "$work/cert.pem" "$dist/$exe"
  case $exe in
    dsn-restore.exe) pe_args=(gui requireAdministrator) shipped=$build/dsn_restore/$exe ;;
    *) pe_args=(console asInvoker) shipped=$build/cache_access_check/$exe ;;
  esac
  check "PE headers, manifest and version resource intact" \
    bash -c '"$@" >/dev/null' _ "$root/tests/windows/check_pe.sh" "$objdump" "$dist/$exe" pei-i386 "${pe_args[@]}"
  osslsigncode remove-signature -in "$dist/$exe" -out "$work/unsigned-$exe" >/dev/null
  check "without its signature it is the image built, but for the checksum" only_checksum_differs "$shipped" "$work/unsigned-$exe"
  check "its symbols match the image built" \
    bash -c '"$@" >/dev/null' _ "$root/tests/windows/check_symbols.sh" "$objdump" "$strip" "$shipped" "$dist/symbols/$exe"
done
check "SHA256SUMS lists and matches all four files" \
  bash -c 'cd "$1" && test "$(wc -l <SHA256SUMS)" -eq 4 && sha256sum --quiet -c SHA256SUMS' _ "$dist"

finish_checks
