#!/usr/bin/env bash
# Two builds of the same sources, from two different folders, give the same
# bytes: the shipped images and their unstripped copies alike.
# usage: reproducible_build.sh SOURCE_DIR [PRESET]   (default preset windows-x86)
set -uo pipefail
source_dir=$(realpath "$1")
preset=${2:-windows-x86}
work=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The files of the checkout as they stand (committed or not) and yyjson's
# source, in two folders of different names and depths.
copy_sources() {
  mkdir -p "$1"
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 cp --parents -t "$1" 2>/dev/null)
  cp -a "$source_dir/.deps" "$1/" 2>/dev/null || true
}
images=(dsn_restore/dsn-restore.exe cache_access_check/cache-access-check.exe symbols/dsn-restore.exe
        symbols/cache-access-check.exe)
for folder in "$work/one/src" "$work/second-checkout/deeper/halvernik"; do
  copy_sources "$folder"
  if ! (cd "$folder" && cmake --preset "$preset" -DHALVERNIK_I686_WINE=none >/dev/null &&
        cmake --build --preset "$preset" --target dsn_restore cache_access_check >/dev/null); then
    echo "FAILED: the build in $folder failed"
    exit 1
  fi
done

failures=0
for image in "${images[@]}"; do
  if cmp -s "$work/one/src/build/$preset/$image" "$work/second-checkout/deeper/halvernik/build/$preset/$image"; then
    echo "ok: $image is the same in both builds ($(sha256sum <"$work/one/src/build/$preset/$image" | cut -c1-16)…)"
  else
    echo "FAILED: $image differs between the two builds"
    cmp "$work/one/src/build/$preset/$image" "$work/second-checkout/deeper/halvernik/build/$preset/$image" | head -3
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && echo "all images are reproducible"
exit $((failures > 0))
