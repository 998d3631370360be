# Sourced by the runs under Wine: a throwaway Wine prefix for this script
# alone, copied from the template prefix and removed (with its wineserver)
# when the script exits. Gives WINE (the wine64 loader, which hands 32-bit
# programs to the 32-bit loader) and wine_reg (Wine's own 64-bit reg.exe).
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
if [ ! -x "$WINE" ]; then
  echo "wine64 is not installed: run scripts/setup.sh" >&2
  exit 1
fi
wine_template=$("$(dirname "${BASH_SOURCE[0]}")/../../tools/wine_harness/template_prefix.sh") || exit 1
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-wine.XXXXXX")
cp -a "$wine_template/." "$WINEPREFIX/"
export WINEDEBUG=-all
export LC_ALL=C.UTF-8  # Wine maps non-ASCII names and arguments through the locale
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer
wine_cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap wine_cleanup EXIT
wine_reg() { "$WINE" reg "$@" 2>/dev/null | tr -d '\r'; }
