#!/usr/bin/env bash
# cache-access-check against refusals that Wine takes from the file system:
# run as an unprivileged user (Wine running as root ignores Unix permissions),
# with a prefix and HOME that this user owns, the cache folder in place, and
# in the current directory
#   - a folder without write permission,
#   - a read-only test_2_128.txt already there,
#   - test_0_0.txt held open without sharing by another process.
# Each run's output is compared line by line with what it must be.
# usage: cache_access_check_refusals.sh CACHE_ACCESS_CHECK_EXE HELPERS_BUILD_DIR
set -uo pipefail
exe=$(realpath "$1")
hold_file=$(realpath "$2/tools/wine_harness/hold-file.exe")
box_driver=$(realpath "$2/tools/wine_harness/box-driver.exe")
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
template=$("$(dirname "$0")/../../tools/wine_harness/template_prefix.sh") || exit 1

# The user: whoever runs this when it is not root, else one made for it.
if [ "$(id -u)" -eq 0 ]; then
  user=halvernik-check
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
else
  user=$(id -un)
fi
home=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-refusals.XXXXXX")
chmod 755 "$home"
cp -a "$template" "$home/prefix"
mkdir -p "$home/folders"
[ "$(id -u)" -eq 0 ] && chown -R "$user:" "$home"

as_user() {  # runs a command as the user, in the user's own Wine set-up
  local -a env=(env HOME="$home" USER="$user" WINEPREFIX="$home/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
                WINEDLLOVERRIDES="mscoree,mshtml=")
  if [ "$(id -u)" -eq 0 ]; then runuser -u "$user" -- "${env[@]}" "$@"; else "${env[@]}" "$@"; fi
}
cleanup() {
  as_user "$WINESERVER" -k >/dev/null 2>&1
  rm -rf "$home"
}
trap cleanup EXIT

. "$(dirname "$0")/checks.sh"
expect_output() {  # expect_output EXPECTED_LINES...: the run's output, line by line
  local expected
  expected=$(printf '%s\n' "$@")
  if [ "$output" = "$expected" ]; then
    echo "ok: the output is, line by line, as expected ($# lines)"
  else
    echo "FAILED: the output differs from what is expected:"
    diff <(echo "$expected") <(echo "$output") | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}
run_check() {  # run_check FOLDER: the check's output (without CR) and status
  status=0
  output=$(cd "$1" && as_user "$WINE" "$exe" </dev/null 2>/dev/null | tr -d '\r') || status=$?
  check "exit status 0" test "$status" -eq 0
}
text() { as_user "$WINE" "$box_driver" --system-text "$1" | sed 's/\\r//g; s/\\n//g'; }

cache_unix=$(as_user "$WINE" winepath -u 'C:\users\'"$user"'\AppData\Local\Halvernik ODBC Driver\Cache' 2>/dev/null)
as_user mkdir -p "$cache_unix"
check "it runs as an unprivileged user ($user)" test "$(as_user id -u)" -ne 0
denied="$(text 5) (5)"
missing="$(text 2) (2)"
in_use="$(text 32) (32)"
names=(test_2_128.txt test_2_16384.txt test_2_0.txt test_0_128.txt test_0_16384.txt test_0_0.txt)

echo "--- a current directory without write permission"
folder="$home/folders/read-only"
as_user mkdir "$folder"
as_user chmod 555 "$folder"
run_check "$folder"
lines=()
for name in "${names[@]}"; do lines+=("Error creating file .\\$name: $denied"); done
for name in "${names[@]}"; do lines+=("Error opening file .\\$name: $missing"); done
expect_output "${lines[@]}" "12 errors occurred during file creation tests."
check "nothing was made in it" test -z "$(ls -A "$folder")"

echo "--- a read-only test_2_128.txt already there"
folder="$home/folders/read-only-file"
as_user mkdir "$folder"
as_user sh -c "echo kept >'$folder/test_2_128.txt' && chmod 444 '$folder/test_2_128.txt'"
run_check "$folder"
expect_output "Error creating file .\\test_2_128.txt: $denied" "1 errors occurred during file creation tests."
check "its delete failed: the file stays, as it was" test "$(cat "$folder/test_2_128.txt" 2>/dev/null)" = kept
check "every other test file was deleted" test "$(ls -A "$folder")" = test_2_128.txt

echo "--- test_0_0.txt held open without sharing by another process"
folder="$home/folders/held"
as_user mkdir "$folder"
exec 8> >(cd "$folder" && as_user "$WINE" "$hold_file" 'test_0_0.txt' >"$home/hold.out" 2>/dev/null)
for _ in $(seq 1200); do grep -q held "$home/hold.out" 2>/dev/null && break; sleep 0.5; done
check "the other process holds the file" grep -q held "$home/hold.out"
run_check "$folder"
expect_output "Error creating file .\\test_0_0.txt: $in_use" "Error opening file .\\test_0_0.txt: $in_use" \
  "2 errors occurred during file creation tests."
exec 8>&-  # the holder's input ends: it closes the file and exits
check "only the held file is left" test "$(ls -A "$folder")" = test_0_0.txt

finish_checks
