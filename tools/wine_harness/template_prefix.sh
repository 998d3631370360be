#!/usr/bin/env bash
# Prints the path of a Wine prefix made once and copied by every run under
# Wine, so that each run still gets a prefix of its own without paying for
# wineboot again (about two minutes where 32-bit code runs emulated).
#
# The template is made again when Wine, its 32-bit loader or the way 32-bit
# code runs has changed: a prefix made before wine32 was installed cannot run
# 32-bit programs. It holds what every run wants: the boxes' title bars drawn
# by Wine (Managed=N) and Wine's fonts.
#
# usage: template_prefix.sh [DIR]   (default: build/wine-template in the checkout)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
template=${1:-${HALVERNIK_WINE_TEMPLATE:-$root/build/wine-template}}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

stamp="$("$wine" --version 2>/dev/null) | wine32 $(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || echo none) | $("$root/scripts/probe_32bit.py")"
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
if [ -f "$template/.halvernik-stamp" ] && [ "$(cat "$template/.halvernik-stamp")" = "$stamp" ]; then
  echo "$template"
  exit 0
fi

rm -rf "$template"
export WINEPREFIX=$template WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
echo "template_prefix: making a Wine prefix in $template (once)" >&2
"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
"$wineserver" -w
# Where this prefix's wineserver kept its socket: a copy must not point there.
rm -f "$template/wineserver"
if [ ! -f "$template/system.reg" ] || [ ! -d "$template/drive_c/windows/syswow64" ]; then
  echo "template_prefix: wineboot did not make a whole prefix in $template" >&2
  exit 1
fi
echo "$stamp" >"$template/.halvernik-stamp"
echo "$template"
