#!/usr/bin/env bash
# dsn-restore under Wine with no display: the confirmation box cannot appear,
# so the run must end with status 0 and leave the registry as it was.
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
"$WINE" "$exe" >/dev/null 2>&1 || status=$?
after=$(wine_reg query 'HKCU\Software\ODBC' /s)

failed=0
if [ "$status" -ne 0 ]; then echo "FAILED: exit status $status, not 0"; failed=1; fi
if [ "$before" != "$after" ]; then
  echo "FAILED: the registry changed"; diff <(echo "$before") <(echo "$after") || true; failed=1
fi
[ $failed -eq 0 ] && echo "ok: exit status 0, registry untouched"
exit $failed
