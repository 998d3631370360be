#!/usr/bin/env bash
# The signed release, end to end: a throwaway self-signed code-signing
# certificate, scripts/release.sh with it, then both signatures verified,
# each image without its signature against the image built, the symbols, the
# password's way (on no command line and in no environment, only on the
# signer's pipe), and what the release holds (release_contents.sh). The
# release stays in OUT_DIR, for the runs that use it. Each check that guards
# a claim is shown failing once, on a deliberately broken input.
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

signed_with_sha256() {  # signed_with_sha256 CERT IMAGE
  osslsigncode verify -CAfile "$1" -in "$2" | grep -qi "digest algorithm *: *sha256"
}
# What README says of the symbols of a signed release: stripped, each is the
# shipped file without its signature, but for the checksum and the padding.
stripped_is_unsigned() {  # stripped_is_unsigned SYMBOLS SHIPPED
  local stripped=$work/stripped-$(basename "$2")
  SOURCE_DATE_EPOCH=0 "$strip" --strip-all -o "$stripped" "$1" || return 1
  unsigned_is_built osslsigncode "$stripped" "$2"
}

for exe in dsn-restore.exe cache-access-check.exe; do
  echo "--- $exe"
  check "the signature verifies" signature_verifies "$work/cert.pem" "$out/$exe"
  check "signed with SHA-256" signed_with_sha256 "$work/cert.pem" "$out/$exe"
  case $exe in
    dsn-restore.exe) built=$build/dsn_restore/$exe ;;
    *) built=$build/cache_access_check/$exe ;;
  esac
  check "without its signature it is the image built, but for the checksum" unsigned_is_built osslsigncode "$built" "$out/$exe"
  check "its symbols match the image built" \
    bash -c '"$@" >/dev/null' _ "$here/check_symbols.sh" "$objdump" "$strip" "$built" "$out/symbols/$exe"
  check "its symbols, stripped, are the shipped file without its signature, but for the checksum" \
    stripped_is_unsigned "$out/symbols/$exe" "$out/$exe"
done
"$here/release_contents.sh" "$out" "$root" "$objdump" "$cxx" || failures=$((failures + 1))

echo "--- the signing password"
# The checks get the password on a pipe (fd 3), as the release gives it to
# the signer, never as an argument: a command line is for everyone to read.
# The programs they run are stood in for too, to show it.
ran() { compgen -G "$work/records/$1.*.args" | wc -l; }
check "the stand-ins ran: the signer twice, cmake and sha256sum" \
  test "$(ran osslsigncode)" -eq 2 -a "$(ran cmake)" -ge 2 -a "$(ran sha256sum)" -ge 1
password_absent() {  # password_absent FILE... (the password on fd 3): no file holds it
  local file found=0 secret
  IFS= read -r -d '' secret <&3
  for file in "$@"; do
    if grep -aqF -f <(printf '%s\n' "$secret") -- "$file"; then echo "  in $(basename "$file")"; found=1; fi
  done
  return $found
}
signer_read_pipes() {  # signer_read_pipes KIND_RECORD...: each says the signer's -readpass was a pipe
  local record
  for record in "$@"; do
    [ "$(cat "$record")" = pipe ] || { echo "  $(basename "$record"): $(cat "$record")"; return 1; }
  done
}
pipe_held_the_password() {  # pipe_held_the_password RECORD... (the password on fd 3): each holds it, nothing else
  local record secret
  IFS= read -r -d '' secret <&3
  for record in "$@"; do
    cmp -s "$record" <(printf '%s' "$secret") || { echo "  $(basename "$record") holds something else"; return 1; }
  done
}
mkdir -p "$work/check-bin" "$work/check-records"
for name in grep cmp; do ln -s "$work/bin/record-and-run" "$work/check-bin/$name"; done
standing_in() {  # standing_in COMMAND...: with grep and cmp recording their command lines
  PATH="$work/check-bin:$PATH" HALVERNIK_RECORDS=$work/check-records HALVERNIK_STANDINS=$work/check-bin "$@"
}
on_pipe() { "$@" 3< <(printf '%s' "$password"); }
check "on no command line, in no environment (theirs, or the release script's)" \
  standing_in on_pipe password_absent "$work"/records/*.args "$work"/records/*env
check "the signer read it from a pipe, both times" signer_read_pipes "$work"/records/osslsigncode.*.readpass-kind
check "the pipe held the password, and nothing else" \
  standing_in on_pipe pipe_held_the_password "$work"/records/osslsigncode.*.readpass
check "these checks ran grep and cmp, stood in for" \
  test "$(compgen -G "$work/check-records/grep.*.args" | wc -l)" -ge 1 -a \
       "$(compgen -G "$work/check-records/cmp.*.args" | wc -l)" -ge 1
check "and gave it to neither on its command line" on_pipe password_absent "$work"/check-records/*.args

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
shown_failing "a record that holds the password is found" on_pipe password_absent "$work/broken/leaked.env"
osslsigncode sign -pkcs12 "$work/sign.pfx" -readpass <(printf '%s' "$password") -h sha1 \
  -in "$build/cache_access_check/cache-access-check.exe" -out "$work/broken/sha1.exe" >/dev/null
shown_failing "an image signed with SHA-1 is not taken for SHA-256" \
  signed_with_sha256 "$work/cert.pem" "$work/broken/sha1.exe"
echo pipe >"$work/broken/signer.1.readpass-kind"
echo "not a pipe" >"$work/broken/signer.2.readpass-kind"
shown_failing "a signer that read a file once is found" signer_read_pipes "$work"/broken/signer.*.readpass-kind
printf '%s\n' "$password" >"$work/broken/with-end-of-line.readpass"
shown_failing "a pipe that held the password and an end of line is found" \
  on_pipe pipe_held_the_password "$work/broken/with-end-of-line.readpass"
printf '%s' "${password:1}" >"$work/broken/shortened.readpass"
shown_failing "a pipe that held part of the password is found" \
  on_pipe pipe_held_the_password "$work/broken/shortened.readpass"
cp "$out/symbols/cache-access-check.exe" "$work/broken/symbols.exe"
# A byte of its code, which stripping keeps.
text_offset=$("$objdump" -h "$work/broken/symbols.exe" | awk '$2 == ".text" { print $6 }')
flip_byte "$work/broken/symbols.exe" $((16#$text_offset + 16))
shown_failing "symbols with one byte changed, stripped, are not the shipped file unsigned" \
  stripped_is_unsigned "$work/broken/symbols.exe" "$out/cache-access-check.exe"
# What README said before: stripped, the symbols are the shipped file byte for byte. Not for a signed one.
shown_failing "the symbols of a signed release, stripped, are not the signed file byte for byte" \
  "$here/check_symbols.sh" "$objdump" "$strip" "$out/cache-access-check.exe" "$out/symbols/cache-access-check.exe"

finish_checks
