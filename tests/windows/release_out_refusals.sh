#!/usr/bin/env bash
# scripts/release.sh --out refuses every folder it could not empty safely,
# with a clear message and before anything is built, and deletes nothing. It
# runs in a stand-in checkout that holds the release script alone (with a
# .git, a build folder and files of its own), so that a refusal that fails
# builds nothing and reaches no real files: without the set-up script
# beside it, a release that gets past its checks stops there.
# usage: release_out_refusals.sh SOURCE_DIR
set -uo pipefail
source_dir=$(realpath "$1")
work=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/halvernik-refusals.XXXXXX")")
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

# Everything the releases below could reach: the checkout, the folder above it.
tree=$work/tree
clone=$tree/checkout
mkdir -p "$clone/scripts" "$clone/.git" "$clone/build/release-x86" "$clone/docs" "$tree/tampered" "$tree/notes-listed"
cp "$source_dir/scripts/release.sh" "$clone/scripts/"
echo "ref: refs/heads/main" >"$clone/.git/HEAD"
echo "notes" >"$clone/notes.txt"
echo "a page" >"$clone/docs/page.md"
echo "an earlier build" >"$clone/build/release-x86/CMakeCache.txt"
printf '# a release marker that reaches out of its folder\n../checkout/notes.txt\n' >"$tree/tampered/.halvernik-release"
# A marker that lists, beside a release's files, a file no release writes.
echo "someone's notes" >"$tree/notes-listed/notes.txt"
echo "from an earlier release" >"$tree/notes-listed/README.txt"
printf '# a release marker\nREADME.txt\nnotes.txt\n' >"$tree/notes-listed/.halvernik-release"
ln -s "$clone" "$tree/link-to-checkout"

everything() { (cd "$tree" && find . -printf '%p %y %s\n' | sort); }

# refused_untouched RELEASE_SCRIPT OUT MESSAGE: the release, run from the
# checkout, ends with status 2, says why, and leaves every file in place.
refused_untouched() {
  local before after status
  before=$(everything)
  (cd "$clone" && "$1" --out "$2") >"$work/stdout" 2>"$work/stderr"
  status=$?
  after=$(everything)
  [ $status -eq 2 ] || { echo "  status $status, not 2: $(cat "$work/stderr")"; return 1; }
  grep -qF -- "$3" "$work/stderr" || { echo "  said: $(cat "$work/stderr")"; return 1; }
  grep -qF "nothing was built or deleted" "$work/stderr" || { echo "  said: $(cat "$work/stderr")"; return 1; }
  [ "$before" = "$after" ] || { echo "  files changed:"; diff <(echo "$before") <(echo "$after") | sed 's/^/    /'; return 1; }
}

# what|--out|what the message says
cases=(
  "the checkout, as .|.|it is the checkout ($clone) or a folder above it"
  "the checkout, by its path|$clone|it is the checkout"
  "the checkout, through a link|$tree/link-to-checkout|it is the checkout"
  "the folder above the checkout|..|or a folder above it"
  "the root folder|/|or a folder above it"
  "a folder inside the release's build folder|build/release-x86/out|which each release builds anew"
  "the release's build folder itself|build/release-x86|which each release builds anew"
  "a file|notes.txt|it is not a folder"
  "a non-empty folder with no earlier release|docs|holds files but no earlier release"
  "a folder whose release marker reaches out of it|$tree/tampered|lists \"../checkout/notes.txt\", which no release writes"
  "a folder whose marker lists a file no release writes|$tree/notes-listed|lists \"notes.txt\", which no release writes"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r what out message <<<"$entry"
  check "refuses $what, deleting nothing" refused_untouched scripts/release.sh "$out" "$message"
done

# The check itself, against a release that says it refused but deleted a file.
cat >"$work/careless-release.sh" <<'EOF'
#!/usr/bin/env bash
rm -f notes.txt
echo "release: refusing --out $2: it is the checkout; nothing was built or deleted" >&2
exit 2
EOF
chmod +x "$work/careless-release.sh"
shown_failing "the check fails for a release that deletes instead of refusing" \
  refused_untouched "$work/careless-release.sh" . "it is the checkout"

finish_checks
