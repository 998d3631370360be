#!/usr/bin/env bash
# cache-access-check on a real console: under tmux, Wine gives the program a
# console of its own, so its lines go through WriteConsoleW and its wait for
# Enter reads the keyboard. The local application-data path is outside ASCII
# and the cache folder is missing, so every line names that path.
# Its lines appear whole, it is still waiting a moment later, and Enter ends
# it with status 0.
# usage: cache_access_check_on_console.sh CACHE_ACCESS_CHECK_EXE [SCREEN_TEXT_FILE]
set -uo pipefail
exe=$(realpath "$1")
screen_file=${2:-}
unset DISPLAY WAYLAND_DISPLAY
. "$(dirname "$0")/wine_prefix.sh"

. "$(dirname "$0")/checks.sh"

local_appdata='C:\Données\Local'
wine_reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
  /v 'Local AppData' /t REG_EXPAND_SZ /d "$local_appdata" /f >/dev/null
mkdir -p "$WINEPREFIX/drive_c/Données/Local"
cache="$local_appdata\\Halvernik ODBC Driver\\Cache"

work=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-console.XXXXXX")
socket="$work/tmux.socket"
tmux_() { tmux -u -S "$socket" "$@"; }
trap 'tmux_ kill-server 2>/dev/null; rm -rf "$work"; wine_cleanup' EXIT
mkdir "$work/run"
# The status file is written only once the program has ended.
cat >"$work/session.sh" <<SESSION
cd '$work/run'
'$WINE' '$exe'
echo \$? >'$work/status'
sleep 600
SESSION
tmux_ new-session -d -x 250 -y 40 "bash '$work/session.sh'"
screen() { tmux_ capture-pane -p -J | sed -e 's/[[:space:]]*$//' -e '/^$/d'; }

verdict="12 errors occurred during file creation tests."
for _ in $(seq 1200); do screen | grep -qxF "$verdict" && break; sleep 0.5; done
check "the verdict line appears" grep -qxF "$verdict" <(screen)
sleep 3
check "a moment later it is still waiting" test ! -e "$work/status"

shown=$(screen)
[ -n "$screen_file" ] && printf '%s\n' "$shown" >"$screen_file"
expected=()
for pass in creating opening; do
  for name in test_2_128.txt test_2_16384.txt test_2_0.txt test_0_128.txt test_0_16384.txt test_0_0.txt; do
    expected+=("Error $pass file $cache\\$name: ")
  done
done
mapfile -t lines <<<"$shown"
check "thirteen lines on the screen" test "${#lines[@]}" -eq 13
whole=0
for i in "${!expected[@]}"; do
  case ${lines[$i]:-} in
    "${expected[$i]}"*" (3)") ;;
    *) echo "    line $((i + 1)): '${lines[$i]:-}', expected '${expected[$i]}... (3)'"; whole=1 ;;
  esac
done
check "each error line names the path outside ASCII whole, and code 3" test $whole -eq 0
check "the last line is the verdict" test "${lines[12]:-}" = "$verdict"

tmux_ send-keys Enter
for _ in $(seq 120); do [ -e "$work/status" ] && break; sleep 0.5; done
check "Enter ends it" test -e "$work/status"
check "with exit status 0" test "$(cat "$work/status" 2>/dev/null)" = 0

[ $failures -gt 0 ] && { echo "--- the screen:"; printf '%s\n' "$shown"; }
finish_checks
