# Sourced by the runs under Wine: a fresh, throwaway Wine prefix for this
# script alone, removed (with its wineserver) when the script exits.
# Gives WINE (the wine64 loader) and wine_reg (Wine's own reg.exe).
WINE=${WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}
WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
if [ ! -x "$WINE" ]; then
  echo "wine64 is not installed: run scripts/setup.sh" >&2
  exit 1
fi
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/halvernik-wine.XXXXXX")
export WINEDEBUG=-all
export LC_ALL=C.UTF-8  # Wine maps non-ASCII names and arguments through the locale
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer
wine_cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap wine_cleanup EXIT
"$WINE" wineboot -i >/dev/null 2>&1
wine_reg() { "$WINE" reg "$@" 2>/dev/null | tr -d '\r'; }
