#!/usr/bin/env bash
# cache-access-check under Wine, from a fresh folder with standard input at its
# end: with the cache folder present, with it missing, and with a folder
# standing where a test file would be created. --short: only the first, where
# each 32-bit process runs emulated.
# usage: cache_access_check_under_wine.sh CACHE_ACCESS_CHECK_EXE [--short]
set -uo pipefail
exe=$(realpath "$1")
short=${2:-}
unset DISPLAY WAYLAND_DISPLAY
. "$(dirname "$0")/wine_prefix.sh"

. "$(dirname "$0")/checks.sh"

local_appdata=$("$WINE" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
cache="$local_appdata\\Halvernik ODBC Driver\\Cache"
cache_unix=$("$WINE" winepath -u "$cache" 2>/dev/null)
run_folder=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-check.XXXXXX")
trap 'rm -rf "$run_folder" "$run_folder.out"; wine_cleanup' EXIT

# Runs the check in the run folder: its exact bytes in raw_output, its lines
# without CR in output, its exit status in status.
raw_output="$run_folder.out"
run_check() {
  status=0
  (cd "$run_folder" && "$WINE" "$exe" </dev/null >"$raw_output" 2>/dev/null) || status=$?
  output=$(tr -d '\r' <"$raw_output")
}
no_test_files() { [ -z "$(find "$@" -maxdepth 1 -name 'test_*' 2>/dev/null)" ]; }
lines_matching() { grep -cF -- "$1" <<<"$output"; }

echo "--- cache folder present"
mkdir -p "$cache_unix"
run_check
check "exit status 0" test "$status" -eq 0
check "the whole output is the success verdict and an end of line" \
  cmp -s "$raw_output" <(printf 'All tests passed successfully.\r\n')
check "no test file left in either folder" no_test_files "$run_folder" "$cache_unix"

finish() {
  [ $failures -gt 0 ] && { echo "--- last output:"; echo "$output"; }
  finish_checks
}
[ "$short" = --short ] && finish

echo "--- cache folder missing"
rm -rf "$cache_unix"
run_check
missing_path_text=$(grep -m1 -F "Error creating file $cache\\test_2_128.txt: " <<<"$output" | sed 's/.*: //')
check "exit status 0" test "$status" -eq 0
check "six creating lines for the cache folder" test "$(lines_matching "Error creating file $cache\\test_")" -eq 6
check "six opening lines for the cache folder" test "$(lines_matching "Error opening file $cache\\test_")" -eq 6
check "each names the missing path's code 3" test "$(grep -cE '^Error .* \(3\)$' <<<"$output")" -eq 12
check "every line the same system text ($missing_path_text)" \
  test "$(lines_matching ": $missing_path_text")" -eq 12
check "verdict with 12" test "$(tail -n1 <<<"$output")" = "12 errors occurred during file creation tests."
check "thirteen lines in all" test "$(wc -l <<<"$output")" -eq 13
check "the cache folder was not created" test ! -e "$cache_unix"
check "no test file left in the current folder" no_test_files "$run_folder"

echo "--- a folder where a test file would be"
mkdir -p "$cache_unix" "$run_folder/test_0_0.txt"
run_check
check "exit status 0" test "$status" -eq 0
check "create refused with access denied" \
  test "$(grep -cE '^Error creating file \.\\test_0_0\.txt: .* \(5\)$' <<<"$output")" -eq 1
check "open refused with access denied" \
  test "$(grep -cE '^Error opening file \.\\test_0_0\.txt: .* \(5\)$' <<<"$output")" -eq 1
check "verdict with 2" test "$(tail -n1 <<<"$output")" = "2 errors occurred during file creation tests."
check "three lines in all" test "$(wc -l <<<"$output")" -eq 3
check "the folder is still there" test -d "$run_folder/test_0_0.txt"

echo "--- a local application-data path outside ASCII, its cache folder missing"
# Every line must come out whole, in UTF-8, the verdict included.
rmdir "$run_folder/test_0_0.txt"
"$WINE" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
  /v 'Local AppData' /t REG_EXPAND_SZ /d 'C:\Données\Local' /f >/dev/null 2>&1
mkdir -p "$WINEPREFIX/drive_c/Données/Local"
run_check
check "exit status 0" test "$status" -eq 0
check "twelve error lines name the folder as it is spelt" \
  test "$(lines_matching ' file C:\Données\Local\Halvernik ODBC Driver\Cache\test_')" -eq 12
check "verdict with 12" test "$(tail -n1 <<<"$output")" = "12 errors occurred during file creation tests."

finish
