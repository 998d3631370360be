#!/usr/bin/env bash
# Checks a built deliverable's PE headers with objdump: format and machine,
# subsystem and its version (Windows 7, the oldest the manifest lists), ASLR
# (with relocations, and high entropy in x64) and DEP, terminal-server
# awareness, no timestamp, no symbols left in the image, the manifest's
# execution level and DPI awareness, every string of the version resource,
# and that it imports only DLLs that ship with Windows.
# usage: check_pe.sh OBJDUMP EXE FORMAT(pei-i386|pei-x86-64) SUBSYSTEM(gui|console) LEVEL
set -uo pipefail
objdump=$1 exe=$2 format=$3 subsystem=$4 level=$5
. "$(dirname "$0")/checks.sh"

headers=$("$objdump" -p "$exe") || { echo "FAILED: objdump cannot read $exe"; exit 1; }

check "file format $format" grep -q "file format $format\$" <<<"$headers"
case $format in
  pei-i386) check "PE32 for i386" grep -qE '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" ;;
  pei-x86-64) check "PE32+ for x86-64" grep -qE '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)' <<<"$headers" ;;
esac
case $subsystem in
  gui) check "Windows GUI subsystem" grep -qE '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers" ;;
  console) check "Windows console subsystem" grep -qE '^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)' <<<"$headers" ;;
esac
check "DYNAMIC_BASE (ASLR)" grep -qE '^[[:space:]]+DYNAMIC_BASE$' <<<"$headers"
check "relocations, which ASLR needs" grep -qE '^Entry 5 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers"
check "NX_COMPAT (DEP)" grep -qE '^[[:space:]]+NX_COMPAT$' <<<"$headers"
check "TERMINAL_SERVICE_AWARE" grep -qE '^[[:space:]]+TERMINAL_SERVICE_AWARE$' <<<"$headers"
if [ "$format" = pei-x86-64 ]; then
  check "HIGH_ENTROPY_VA (64-bit ASLR)" grep -qE '^[[:space:]]+HIGH_ENTROPY_VA$' <<<"$headers"
fi
check "subsystem version 6.1 (Windows 7)" \
  grep -qzE 'MajorSubsystemVersion[[:space:]]+6[[:space:]]+MinorSubsystemVersion[[:space:]]+1' <<<"$headers"
check "OS version 6.1 (Windows 7)" \
  grep -qzE 'MajorOSystemVersion[[:space:]]+6[[:space:]]+MinorOSystemVersion[[:space:]]+1' <<<"$headers"
check "no timestamp" grep -qE '^Time/Date[[:space:]]+(Thu Jan  1 00:00:00 1970|0+)$' <<<"$headers"
check "stripped: no symbols in the image" grep -qE '^[[:space:]]+symbols stripped$' <<<"$headers"
check "stripped: no debug information in the image" \
  bash -c '! "$1" -h "$2" | grep -qE "[[:space:]]\.debug_"' _ "$objdump" "$exe"

# Imports: only DLLs that ship with Windows; never a compiler runtime DLL,
# which an elevated program would load from its own folder.
mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
echo "imports: ${dlls[*]}"
check "imports some DLL" test ${#dlls[@]} -gt 0
for dll in "${dlls[@]}"; do
  case $dll in
    kernel32.dll | user32.dll | advapi32.dll | shell32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *) echo "FAILED: imports $dll, which does not ship with Windows"; failures=$((failures + 1)) ;;
  esac
done

# The manifest and the version resource, read back from the resource
# section's bytes (UTF-16 names lose their NULs here).
rsrc=$("$objdump" -s -j .rsrc "$exe" | perl -ne 'if (/^ [0-9a-f]+ ((?:[0-9a-f]+ )*?[0-9a-f]+)  /) { (my $h = $1) =~ s/ //g; print pack("H*", $h) }' | tr -d '\0')
check "manifest requests level \"$level\"" grep -qF "level=\"$level\"" <<<"$rsrc"
check "manifest sets uiAccess \"false\"" grep -qF 'uiAccess="false"' <<<"$rsrc"
check "version resource" grep -qF "VS_VERSION_INFO" <<<"$rsrc"
check "version resource: every string as shipped, the copyright included" \
  python3 "$(dirname "$0")/pe_resources.py" version "$exe"
check "manifest: per-monitor DPI awareness (PerMonitorV2), dpiAware kept for Windows 7" \
  python3 "$(dirname "$0")/pe_resources.py" dpi "$exe"

finish_checks "$exe"
