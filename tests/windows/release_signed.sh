#!/usr/bin/env bash
# The signed release, end to end: a throwaway self-signed code-signing
# certificate, scripts/release.sh with it, then both signatures verified,
# each image without its signature against the image built, the symbols, the
# password's way (on no command line and in no environment, only on the
# signer's pipe), and what the release holds (release_contents.sh). The
# release stays in OUT_DIR, for the runs that use it.
# usage: release_signed.sh SOURCE_DIR OBJDUMP STRIP CXX_COMPILER OUT_DIR
set -uo pipefail
root=$(realpath "$1") objdump=$2 strip=$3 cxx=$4 out=$(realpath -m "$5")
here=$(dirname "$(realpath "$0")")
# The release is this test's own: what an earlier run left must never stand
# for this one's, in this test or in the runs that use it.
rm -rf "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$here/checks.sh"
build=$root/build/release-x86

password=$(openssl rand -hex 12)
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Halvernik throwaway test signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
# The password goes to openssl on a pipe too: a command line is for everyone to read.
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" \
  -passout fd:3 3< <(printf '%s\n' "$password")

# Stand-ins first on PATH for the signer and two programs the release runs
# before it: each records its command line, its environment and its parent's
# (the release script's), and the signer what -readpass gave it; then the
# real program runs.
mkdir -p "$work/bin" "$work/records"
cat >"$work/bin/record-and-run" <<'EOF'
#!/usr/bin/env bash
name=$(basename "$0")
record=$HALVERNIK_RECORDS/$name.$$
printf '%s\0' "$@" >"$record.args"
cat "/proc/$$/environ" >"$record.env"
cat "/proc/$PPID/environ" >"$record.parent-env"
real=$(PATH=${PATH#"$HALVERNIK_STANDINS:"} command -v "$name")
args=("$@")
for i in "${!args[@]}"; do
  if [ "$name" = osslsigncode ] && [ "${args[i]}" = -readpass ]; then
    if [ -p "${args[i + 1]}" ]; then echo pipe; else echo "not a pipe"; fi >"$record.readpass-kind"
    cat "${args[i + 1]}" >"$record.readpass"
    args[i + 1]=$record.readpass
  fi
done
exec "$real" "${args[@]}"
EOF
chmod +x "$work/bin/record-and-run"
for name in osslsigncode cmake sha256sum; do ln -s record-and-run "$work/bin/$name"; done

if ! HALVERNIK_SIGN_PASSWORD=$password HALVERNIK_RECORDS=$work/records HALVERNIK_STANDINS=$work/bin \
     PATH="$work/bin:$PATH" "$root/scripts/release.sh" --pfx "$work/sign.pfx" --out "$out"; then
  echo "FAILED: scripts/release.sh"
  exit 1
fi

signature_verifies() {  # signature_verifies CERT IMAGE
  osslsigncode verify -CAfile "$1" -in "$2" | grep -q "^Signature verification: ok"
}
# The signature removed (and its removal's status checked), the image is the
# one built but for the PE checksum and the padding before the signature.
unsigned_is_built() {  # unsigned_is_built OSSLSIGNCODE BUILT SIGNED
  local unsigned=$work/unsigned-$(basename "$3")
  rm -f "$unsigned"
  "$1" remove-signature -in "$3" -out "$unsigned" >/dev/null || { echo "  remove-signature failed"; return 1; }
  python3 "$here/unsigned_is_built.py" "$2" "$unsigned"
}
sums_match() { python3 "$here/release_checks.py" sums "$1"; }
flip_byte() {  # flip_byte FILE OFFSET: one bit of one byte changed
  python3 -c 'import sys; p, o = sys.argv[1], int(sys.argv[2]); b = bytearray(open(p, "rb").read()); b[o] ^= 1; open(p, "wb").write(b)' "$@"
}

for exe in dsn-restore.exe cache-access-check.exe; do
  echo "--- $exe"
  check "the signature verifies" signature_verifies "$work/cert.pem" "$out/$exe"
  check "signed with SHA-256" bash -c 'osslsigncode verify -CAfile "$1" -in "$2" | grep -qi "digest algorithm *: *sha256"' \
    _ "$work/cert.pem" "$out/$exe"
  case $exe in
    dsn-restore.exe) built=$build/dsn_restore/$exe ;;
    *) built=$build/cache_access_check/$exe ;;
  esac
  check "without its signature it is the image built, but for the checksum" unsigned_is_built osslsigncode "$built" "$out/$exe"
  check "its symbols match the image built" \
    bash -c '"$@" >/dev/null' _ "$here/check_symbols.sh" "$objdump" "$strip" "$built" "$out/symbols/$exe"
done
"$here/release_contents.sh" "$out" "$root" "$objdump" "$cxx" || failures=$((failures + 1))

echo "--- the signing password"
ran() { compgen -G "$work/records/$1.*.args" | wc -l; }
check "the stand-ins ran: the signer twice, cmake and sha256sum" \
  test "$(ran osslsigncode)" -eq 2 -a "$(ran cmake)" -ge 2 -a "$(ran sha256sum)" -ge 1
password_absent() {  # password_absent FILE...: no record holds the password
  local file found=0
  for file in "$@"; do
    if grep -aqF -- "$password" "$file"; then echo "  in $(basename "$file")"; found=1; fi
  done
  return $found
}
check "on no command line, in no environment (theirs, or the release script's)" \
  password_absent "$work"/records/*.args "$work"/records/*env
check "the signer read it from a pipe, both times" \
  bash -c 'test "$(cat "$@" | sort -u)" = pipe' _ "$work"/records/osslsigncode.*.readpass-kind
check "the pipe held the password, and nothing else" \
  bash -c 'for f; do cmp -s "$f" <(printf "%s" "$0") || exit 1; done' "$password" "$work"/records/osslsigncode.*.readpass

echo "--- the checks above, on broken input"
mkdir "$work/broken"
cp "$out/cache-access-check.exe" "$work/broken/signed.exe"
flip_byte "$work/broken/signed.exe" 1200
shown_failing "a signed image with one byte changed does not verify" \
  signature_verifies "$work/cert.pem" "$work/broken/signed.exe"
cp "$build/cache_access_check/cache-access-check.exe" "$work/broken/built.exe"
flip_byte "$work/broken/built.exe" 1200
shown_failing "a built image with one byte changed is not the signed one unsigned" \
  unsigned_is_built osslsigncode "$work/broken/built.exe" "$out/cache-access-check.exe"
shown_failing "a signature removal that fails is not taken for a match" \
  unsigned_is_built false "$build/cache_access_check/cache-access-check.exe" "$out/cache-access-check.exe"
cp -r "$out" "$work/broken/release"
flip_byte "$work/broken/release/symbols/dsn-restore.exe" 5000
shown_failing "a file with one byte changed fails SHA256SUMS" sums_match "$work/broken/release"
printf 'HALVERNIK_SIGN_PASSWORD=%s\0' "$password" >"$work/broken/leaked.env"
shown_failing "a record that holds the password is found" password_absent "$work/broken/leaked.env"

finish_checks
