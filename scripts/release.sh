#!/usr/bin/env bash
# Builds the deliverables (the windows-x86 preset) in a fresh build folder and
# writes the release: halvernik-tools-<version>-win32.zip with both
# executables, README.txt, THIRD-PARTY-NOTICES.txt and sbom.cdx.json (each
# also beside it), the symbols (the unstripped copies, which match the
# shipped files; beside the archive, not in it) and SHA256SUMS.
#
# usage: scripts/release.sh [--pfx FILE] [--out DIR]
#   --pfx FILE  signs both executables (Authenticode, SHA-256, osslsigncode)
#               with the certificate and key in that PKCS#12 file, before the
#               checksums are taken. Its password comes from the environment
#               variable HALVERNIK_SIGN_PASSWORD, never from the command line.
#               No timestamp server is asked (see README).
#   --out DIR   where the release goes (default: dist/): a new or empty
#               folder, or one that holds an earlier release, whose files
#               alone are replaced. Anything else is refused before building.
# The archive's time is the commit's (SOURCE_DATE_EPOCH, when set).
set -euo pipefail

# The signing password leaves the environment at once, so that no program
# the release starts (set-up, apt, cmake, the compiler, strip, sha256sum)
# holds it: the script starts itself again without it, the password waiting
# on a pipe, and only the signer reads it, from a pipe of its own.
if [ -n "${HALVERNIK_SIGN_PASSWORD+set}" ]; then
  exec {password_pipe}< <(printf '%s' "$HALVERNIK_SIGN_PASSWORD")
  unset HALVERNIK_SIGN_PASSWORD
  HALVERNIK_RELEASE_PASSWORD_PIPE=$password_pipe exec "$BASH" "$0" "$@"
fi
password="" have_password=no
if [ -n "${HALVERNIK_RELEASE_PASSWORD_PIPE-}" ]; then
  IFS= read -r -d '' -u "$HALVERNIK_RELEASE_PASSWORD_PIPE" password || true
  exec {HALVERNIK_RELEASE_PASSWORD_PIPE}<&-
  unset HALVERNIK_RELEASE_PASSWORD_PIPE
  have_password=yes
fi

root=$(cd "$(dirname "$0")/.." && pwd -P)
build="$root/build/release-x86"
pfx="" out="$root/dist"
while [ $# -gt 0 ]; do
  case $1 in
    --pfx) pfx=$(realpath "$2"); shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: scripts/release.sh [--pfx FILE] [--out DIR]" >&2; exit 2 ;;
  esac
done
if [ -n "$pfx" ] && [ $have_password = no ]; then
  echo "release: set HALVERNIK_SIGN_PASSWORD to the password of $pfx (it may be empty)" >&2
  exit 2
fi

# --out never costs anything that a release did not make: the checkout and
# the folders above it, the build folder (made anew below) and any folder
# that holds other files are refused here, before anything is built. In a
# folder that holds an earlier release, exactly the files that release
# listed in its marker are replaced.
marker=.halvernik-release
# The names of the files a release writes, of any version: all that a
# marker may list, so all that a release ever removes.
written_by_a_release() {
  [[ $1 =~ ^halvernik-tools-[0-9]+(\.[0-9]+)*-win32\.zip$ ]] || case $1 in
    dsn-restore.exe | cache-access-check.exe | README.txt | THIRD-PARTY-NOTICES.txt | sbom.cdx.json | \
      symbols/dsn-restore.exe | symbols/cache-access-check.exe | SHA256SUMS) true ;;
    *) false ;;
  esac
}
refuse() {
  echo "release: refusing --out $out: $*; nothing was built or deleted" >&2
  exit 2
}
within() { [ "$1" = "$2" ] || [ "$2" = / ] || case $1 in "$2"/*) true ;; *) false ;; esac; }
earlier_files=()
if within "$root" "$out"; then
  refuse "it is the checkout ($root) or a folder above it; name a folder of the release's own (default: dist/)"
elif within "$out" "$build"; then
  refuse "it is inside $build, which each release builds anew"
elif [ -e "$out" ] && [ ! -d "$out" ]; then
  refuse "it is not a folder"
elif [ -d "$out" ] && [ -n "$(ls -A "$out")" ]; then
  if [ ! -f "$out/$marker" ]; then
    refuse "the folder holds files but no earlier release (no $marker in it); name a new or empty folder"
  fi
  mapfile -t earlier_files < <(grep -v '^#' "$out/$marker")
  for file in "${earlier_files[@]}"; do
    # Only names that a release writes: a marker never reaches another file.
    if ! written_by_a_release "$file" || { [ -e "$out/$file" ] && [ ! -f "$out/$file" ]; }; then
      refuse "its $marker lists \"$file\", which no release writes"
    fi
  done
fi

fail() {
  echo "release: $*" >&2
  exit 1
}
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}
[ -n "$epoch" ] || fail "no commit to take the release's time from: release from a git checkout, or set SOURCE_DATE_EPOCH"

cd "$root"
"$root/scripts/setup.sh" >/dev/null
# yyjson from the source in .deps/ alone, whose tarball is checked again here.
read -r yyjson_version yyjson_sha256 yyjson_tarball < <("$root/scripts/fetch-yyjson.sh" --describe)
yyjson_source=$root/.deps/yyjson-$yyjson_version
yyjson_tarball=$root/.deps/$yyjson_tarball
echo "$yyjson_sha256  $yyjson_tarball" | sha256sum --check --status ||
  fail "$yyjson_tarball is missing or does not match its SHA-256: run scripts/fetch-yyjson.sh"
cmp -s "$yyjson_source/LICENSE" <(tar -xJOf "$yyjson_tarball" --wildcards '*/LICENSE') ||
  fail "$yyjson_source is not the source in $yyjson_tarball: remove it and run scripts/fetch-yyjson.sh"
rm -rf "$build"
configured=$(cmake --preset windows-x86 -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_yyjson=ON)
grep -qxF -- "-- yyjson: source in $yyjson_source" <<<"$configured" || fail "the build did not use yyjson's source in $yyjson_source"
cmake --build "$build" --target dsn_restore cache_access_check >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
archive=halvernik-tools-$version-win32.zip
exes=(dsn-restore.exe cache-access-check.exe)
shipped=("${exes[@]}" README.txt THIRD-PARTY-NOTICES.txt sbom.cdx.json)
files=("$archive" "${shipped[@]}" "${exes[@]/#/symbols/}" SHA256SUMS)
for file in "${files[@]}"; do
  written_by_a_release "$file" || fail "$file is not among the names a release writes (written_by_a_release)"
done

# The earlier release goes only now that the new one is built; the marker is
# written before the files, so that a release that stops half-way is still
# replaced by the next.
for file in "${earlier_files[@]}"; do rm -f "$out/$file"; done
rm -f "$out/$marker"
[ ! -d "$out/symbols" ] || rmdir --ignore-fail-on-non-empty "$out/symbols"
mkdir -p "$out/symbols"
{
  echo "# The files of a release of the Halvernik ODBC Driver maintenance tools, which the next release into this folder replaces"
  printf '%s\n' "${files[@]}"
} >"$out/$marker"

cp "$build/dsn_restore/dsn-restore.exe" "$build/cache_access_check/cache-access-check.exe" "$out/"
for exe in "${exes[@]}"; do cp "$build/symbols/$exe" "$out/symbols/"; done

if [ -n "$pfx" ]; then
  for exe in "${exes[@]}"; do
    # A pipe, not an argument: any user of the machine can read a process's arguments.
    osslsigncode sign -pkcs12 "$pfx" -readpass <(printf '%s' "$password") -h sha256 \
      -n "Halvernik ODBC Driver maintenance tools" -in "$out/$exe" -out "$out/$exe.signed" >/dev/null
    mv "$out/$exe.signed" "$out/$exe"
  done
  echo "release: signed ${exes[*]} with $(basename "$pfx")"
fi

python3 "$root/scripts/release/windows_readme.py" "$root/README.md" "$out/README.txt" \
  "Halvernik ODBC Driver maintenance tools $version"
images=(--image "$out/dsn-restore.exe=$build/dsn_restore/dsn-restore.exe.map"
        --image "$out/cache-access-check.exe=$build/cache_access_check/cache-access-check.exe.map")
yyjson_args=(--yyjson-version "$yyjson_version" --yyjson-source "$yyjson_source" --yyjson-tarball "$yyjson_tarball")
python3 "$root/scripts/release/third_party_notices.py" --out "$out/THIRD-PARTY-NOTICES.txt" --version "$version" \
  --build-dir "$build" "${yyjson_args[@]}" "${images[@]}"
python3 "$root/scripts/release/sbom.py" --out "$out/sbom.cdx.json" --version "$version" --build-dir "$build" \
  --timestamp "$(date -u -d "@$epoch" +%Y-%m-%dT%H:%M:%SZ)" "${yyjson_args[@]}" "${images[@]}"
python3 "$root/scripts/release/reproducible_zip.py" "$out/$archive" "$epoch" "${shipped[@]/#/$out/}"

(cd "$out" && sha256sum "$archive" "${shipped[@]}" "${exes[@]/#/symbols/}" >SHA256SUMS)
echo "release: $out"
sed 's/^/  /' "$out/SHA256SUMS"
