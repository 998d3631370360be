#!/usr/bin/env bash
# Puts yyjson's source in .deps/yyjson-<version>, taken from the upstream
# tarball that Debian's archive keeps for its yyjson source package. The
# tarball is trusted by its SHA-256 alone. Where this cannot be done (an
# Ubuntu mirror, no archive at hand), CMake falls back to an installed yyjson
# of the same version or to the upstream release. The tarball stays in
# .deps/: the release checks it again and names its SHA-256.
# usage: fetch-yyjson.sh [--describe]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
version=0.10.0
tarball_name="yyjson_${version}+ds.orig.tar.xz"
sha256=ae6fde69a193e10afab426ef13f113d6903446405f9db9ee98bfb572bd6c961a
deps="$root/.deps"
dest="$deps/yyjson-$version"

# For the release: the version, the SHA-256 the tarball is checked against,
# and the tarball's name in .deps/.
if [ "${1-}" = --describe ]; then
  echo "$version $sha256 $tarball_name"
  exit 0
fi

if [ -f "$dest/src/yyjson.c" ]; then
  exit 0
fi
mkdir -p "$deps"
tarball="$deps/$tarball_name"

hash_ok() { [ -f "$tarball" ] && echo "$sha256  $tarball" | sha256sum --check --status; }

# The URI that serves this machine's own Debian suite, read from apt's sources.
mirror_uri() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 0
  {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      awk -v suite="$codename" '
        $1 == "deb" {
          i = 2
          if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
          if ($(i + 1) == suite) { print $i; exit }
        }' "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk -v suite="$codename" '
        BEGIN { RS = ""; FS = "\n" }
        {
          uri = ""; deb = 0; match_suite = 0
          for (j = 1; j <= NF; j++) {
            if ($j ~ /^Types:/ && $j ~ /[ \t]deb([ \t]|$)/) deb = 1
            if ($j ~ /^URIs:/) { split(substr($j, 6), u, " "); uri = u[1] }
            if ($j ~ /^Suites:/) {
              n = split(substr($j, 8), s, " ")
              for (k = 1; k <= n; k++) if (s[k] == suite) match_suite = 1
            }
          }
          if (deb && match_suite && uri != "") { print uri; exit }
        }' "$f"
    done
  } | head -n 1
}

if ! hash_ok; then
  uri=$(mirror_uri)
  if [ -z "$uri" ]; then
    echo "fetch-yyjson: no Debian mirror found in apt's sources; CMake will look for yyjson elsewhere" >&2
    exit 0
  fi
  # A private apt configuration, so that the system's own lists stay untouched.
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/parts" "$work/cache" "$work/out"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri trixie main" >"$work/sources.list"
  opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=$work/parts"
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "APT::Sandbox::User=root")
  apt-get "${opts[@]}" -q update >/dev/null 2>&1 || true
  # The package's .dsc and Debian tarball may be missing from the mirror, which
  # makes apt fail after the upstream tarball has arrived: the hash decides.
  (cd "$work/out" && apt-get "${opts[@]}" -q source --download-only yyjson >/dev/null 2>&1) || true
  if [ -f "$work/out/$tarball_name" ]; then
    mv "$work/out/$tarball_name" "$tarball"
  fi
  if ! hash_ok; then
    rm -f "$tarball"
    echo "fetch-yyjson: could not fetch $tarball_name with the expected SHA-256; CMake will look for yyjson elsewhere" >&2
    exit 0
  fi
fi

rm -rf "$dest.partial"
mkdir -p "$dest.partial"
tar -xJf "$tarball" -C "$dest.partial" --strip-components=1
mv "$dest.partial" "$dest"
echo "fetch-yyjson: yyjson $version source in $dest"
