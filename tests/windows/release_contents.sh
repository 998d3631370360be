#!/usr/bin/env bash
# What a release folder holds, signed or not: the archive and what it
# holds, the checksums, the bill of materials (against the CycloneDX schema
# that the CycloneDX library ships, and its hashes against the files), the
# licence notices, README.txt, and both images' PE headers with every string
# of their version resource and their DPI setting.
# usage: release_contents.sh DIST SOURCE_DIR OBJDUMP CXX_COMPILER
set -uo pipefail
dist=$(realpath "$1") root=$(realpath "$2") objdump=$3 cxx=$4
here=$(dirname "$(realpath "$0")")
. "$here/checks.sh"
read -r _ _ tarball_name < <("$root/scripts/fetch-yyjson.sh" --describe)
tarball=$root/.deps/$tarball_name
checks() { python3 "$here/release_checks.py" "$@"; }
# A whole check script as one check: only its failures and their reasons shown.
quietly() {
  "$@" | grep -E '^(FAILED|  )' | sed 's/^/  /'
  return "${PIPESTATUS[0]}"
}
schema_valid() {
  if [ ! -d "$here/sbom_schema/node_modules" ]; then
    echo "  the schema's npm packages are not installed: run scripts/setup.sh"
    return 1
  fi
  node "$here/sbom_schema/validate.js" "$1"
}

echo "--- the release in $dist"
check "the archive holds the five shipped files as shipped, with one time and fixed permissions" checks archive "$dist"
check "SHA256SUMS lists every file, the archive's included, and each matches" checks sums "$dist"
check "the bill of materials validates against the CycloneDX 1.5 schema" schema_valid "$dist/sbom.cdx.json"
check "its hashes are those of the executables shipped and of yyjson's checked tarball" \
  checks sbom-hashes "$dist" "$tarball"
check "the notices hold yyjson's licence and the runtime libraries' licences, word for word" \
  checks notices "$dist" "$tarball" "$cxx"
check "README.txt holds README.md's marked sections, as plain text with Windows line ends" \
  checks readme "$dist" "$root/README.md"
for exe in dsn-restore.exe cache-access-check.exe; do
  case $exe in
    dsn-restore.exe) pe_args=(gui requireAdministrator) ;;
    *) pe_args=(console asInvoker) ;;
  esac
  check "$exe: PE headers, manifest (DPI awareness included) and every version string" \
    quietly "$here/check_pe.sh" "$objdump" "$dist/$exe" pei-i386 "${pe_args[@]}"
done

finish_checks "$dist"
