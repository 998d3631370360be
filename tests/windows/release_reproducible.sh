#!/usr/bin/env bash
# Two releases of the same sources, made from two different folders, give
# the same bytes: the images built and their unstripped copies, the archive
# and every other file of the release. The second goes into a folder that
# holds an earlier release and a file of someone else's: the earlier
# release's files are replaced, the other file stays. Then the release's
# contents are checked, and each of those checks is shown failing once on a
# deliberately broken copy.
# usage: release_reproducible.sh SOURCE_DIR OBJDUMP STRIP CXX_COMPILER
set -uo pipefail
source_dir=$(realpath "$1") objdump=$2 strip=$3 cxx=$4
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$here/checks.sh"

# The files of the checkout as they stand (committed or not), yyjson's
# source and the schema's npm packages, in two folders of different names
# and depths; the time is the commit's, as a release in a clone takes it.
copy_sources() {
  mkdir -p "$1"
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 cp --parents -t "$1" 2>/dev/null)
  cp -a "$source_dir/.deps" "$1/" 2>/dev/null || true
  if [ -d "$source_dir/tests/windows/sbom_schema/node_modules" ]; then
    cp -a "$source_dir/tests/windows/sbom_schema/node_modules" "$1/tests/windows/sbom_schema/"
  fi
}
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
one=$work/one/src two=$work/second-checkout/deeper/halvernik
copy_sources "$one"
copy_sources "$two"

# An earlier release (of another version) and someone else's file.
earlier=$work/earlier-release
mkdir -p "$earlier/symbols"
for file in halvernik-tools-0.9.0-win32.zip README.txt symbols/dsn-restore.exe SHA256SUMS; do
  echo "from the earlier release" >"$earlier/$file"
done
printf '# an earlier release\nhalvernik-tools-0.9.0-win32.zip\nREADME.txt\nsymbols/dsn-restore.exe\nSHA256SUMS\n' \
  >"$earlier/.halvernik-release"
echo "someone's notes" >"$earlier/notes.txt"

for release in "$one:$work/one/dist" "$two:$earlier"; do
  if ! (cd "${release%%:*}" && scripts/release.sh --out "${release#*:}" >/dev/null); then
    echo "FAILED: the release in ${release%%:*} failed"
    exit 1
  fi
done

same() { cmp "$1" "$2"; }
echo "--- the two releases"
for image in dsn_restore/dsn-restore.exe cache_access_check/cache-access-check.exe symbols/dsn-restore.exe \
             symbols/cache-access-check.exe; do
  check "$image is the same in both builds ($(sha256sum <"$one/build/release-x86/$image" | cut -c1-16)...)" \
    same "$one/build/release-x86/$image" "$two/build/release-x86/$image"
done
mapfile -t files < <(grep -v '^#' "$work/one/dist/.halvernik-release")
archive=${files[0]}
check "the archive $archive is the same in both releases, byte for byte" \
  same "$work/one/dist/$archive" "$earlier/$archive"
for file in "${files[@]:1}"; do
  check "$file is the same in both releases" same "$work/one/dist/$file" "$earlier/$file"
done
earlier_files_replaced() {  # earlier_files_replaced DIR: none of the earlier release's files is left as it was
  local file
  [ ! -e "$1/halvernik-tools-0.9.0-win32.zip" ] || { echo "  the earlier archive is still there"; return 1; }
  for file in README.txt symbols/dsn-restore.exe SHA256SUMS; do
    ! grep -qs "from the earlier release" "$1/$file" || { echo "  $file is the earlier release's"; return 1; }
  done
}
other_file_kept() { grep -qsx "someone's notes" "$1/notes.txt"; }  # other_file_kept DIR
check "in the earlier release's folder, its files are gone or replaced" earlier_files_replaced "$earlier"
check "and someone else's file stays as it was" other_file_kept "$earlier"
for exe in dsn-restore.exe cache-access-check.exe; do
  check "stripped, symbols/$exe is the shipped file byte for byte, as README says of an unsigned release" \
    bash -c '"$@" >/dev/null' _ "$here/check_symbols.sh" "$objdump" "$strip" "$work/one/dist/$exe" \
    "$work/one/dist/symbols/$exe"
done

"$here/release_contents.sh" "$work/one/dist" "$source_dir" "$objdump" "$cxx" || failures=$((failures + 1))

echo "--- the checks above, on broken copies"
cp -a "$earlier" "$work/earlier-kept"
echo "from the earlier release" >"$work/earlier-kept/symbols/dsn-restore.exe"
shown_failing "a folder where an earlier release's file was left fails" earlier_files_replaced "$work/earlier-kept"
rm "$work/earlier-kept/notes.txt"
shown_failing "a folder where someone else's file was removed fails" other_file_kept "$work/earlier-kept"
read -r _ _ tarball_name < <("$source_dir/scripts/fetch-yyjson.sh" --describe)
tarball=$source_dir/.deps/$tarball_name
checks() { python3 "$here/release_checks.py" "$@"; }
broken() {  # broken NAME: a fresh copy of the release to break
  rm -rf "$work/broken"
  cp -a "$work/one/dist" "$work/broken"
  echo "$work/broken"
}
edit() {  # edit FILE PYTHON: runs PYTHON with the file's bytes in b (a bytearray), writes b back
  python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); exec(sys.argv[2]); open(p, "wb").write(b)' "$@"
}
utf16() { python3 -c 'import sys; print(repr(sys.argv[1].encode("utf-16-le")))' "$1"; }

copy=$(broken)
edit "$copy/$archive" 'b[len(b) // 2] ^= 1'
shown_failing "an archive with one byte changed is not the same" same "$work/one/dist/$archive" "$copy/$archive"
edit "$copy/$archive" 'b[len(b) // 2] ^= 1'
edit "$copy/README.txt" 'b[:] = b.replace(b"\r\n", b"\n")'
shown_failing "an archive whose README.txt is not the one beside it fails" checks archive "$copy"

copy=$(broken)
edit "$copy/sbom.cdx.json" 'import json; d = json.loads(b); d["components"][0]["hashes"][0]["content"] = "0" * 64; b[:] = json.dumps(d).encode()'
shown_failing "a bill of materials with another hash for an executable fails its hash check" \
  checks sbom-hashes "$copy" "$tarball"
edit "$copy/sbom.cdx.json" 'import json; d = json.loads(b); del d["components"][1]["name"]; b[:] = json.dumps(d).encode()'
shown_failing "a bill of materials with a component without a name fails the schema" \
  node "$here/sbom_schema/validate.js" "$copy/sbom.cdx.json"

copy=$(broken)
edit "$copy/THIRD-PARTY-NOTICES.txt" 'b[:] = b.replace(b"Copyright (c) 2020 YaoYuan", b"Copyright (c) 2020")'
shown_failing "notices without yyjson's copyright line fail" checks notices "$copy" "$tarball" "$cxx"
copy=$(broken)
edit "$copy/THIRD-PARTY-NOTICES.txt" 'b[:] = b.replace(b"GCC RUNTIME LIBRARY EXCEPTION", b"")'
shown_failing "notices without the GCC Runtime Library Exception fail" checks notices "$copy" "$tarball" "$cxx"
copy=$(broken)
edit "$copy/README.txt" 'b[:] = b.replace(b"\r\n", b"\n")'
shown_failing "a README.txt with Unix line ends fails" checks readme "$copy" "$source_dir/README.md"

copy=$(broken)
edit "$copy/dsn-restore.exe" "b[:] = b.replace($(utf16 "maintenance tools"), $(utf16 "maintenance tooLs"))"
shown_failing "an image whose product name differs by one letter fails the version strings" \
  python3 "$here/pe_resources.py" version "$copy/dsn-restore.exe"
edit "$copy/cache-access-check.exe" 'b[:] = b.replace(b"PerMonitorV2, System", b"System, PerMonitorV2")'
shown_failing "an image that puts system-wide DPI awareness first fails the DPI check" \
  python3 "$here/pe_resources.py" dpi "$copy/cache-access-check.exe"

finish_checks
