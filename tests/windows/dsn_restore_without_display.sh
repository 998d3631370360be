#!/usr/bin/env bash
# dsn-restore under Wine with no display: the confirmation box cannot appear,
# so the run must end with status 0 and leave the registry as it was. Wine's
# diagnostic for the box's window shows that the program really ran up to it:
# a broken 32-bit Wine also ends with status 0, having shown nothing.
# usage: dsn_restore_without_display.sh DSN_RESTORE_EXE
set -euo pipefail
exe=$1
unset DISPLAY WAYLAND_DISPLAY
. "$(dirname "$0")/wine_prefix.sh"

tree='HKCU\Software\ODBC\ODBC.INI'
wine_reg add "$tree\\ODBC Data Sources" /v Sales /t REG_SZ /d 'Halvernik ODBC Driver' /f >/dev/null
wine_reg add "$tree\\Sales" /v Server /t REG_SZ /d old /f >/dev/null
wine_reg add "$tree\\Sales" /v Backup /t REG_SZ /d '{"Server":"db1"}' /f >/dev/null
before=$(wine_reg query 'HKCU\Software\ODBC' /s)
grep -q 'Backup' <<<"$before" || { echo "FAILED: the registry was not seeded"; exit 1; }

status=0
diagnostics=$(WINEDEBUG=-all,err+winediag "$WINE" "$exe" 2>&1 >/dev/null) || status=$?
after=$(wine_reg query 'HKCU\Software\ODBC' /s)

failed=0
if [ "$status" -ne 0 ]; then echo "FAILED: exit status $status, not 0"; failed=1; fi
if ! grep -q 'nodrv_CreateWindow' <<<"$diagnostics"; then
  echo "FAILED: the program never tried to show its confirmation box (Wine said: ${diagnostics:-nothing})"
  failed=1
fi
if [ "$before" != "$after" ]; then
  echo "FAILED: the registry changed"; diff <(echo "$before") <(echo "$after") || true; failed=1
fi
[ $failed -eq 0 ] && echo "ok: it tried to show its box, ended with status 0, registry untouched"
exit $failed
