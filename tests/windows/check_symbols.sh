#!/usr/bin/env bash
# The symbols kept for a shipped image: the unstripped copy holds symbols and
# debug information, and stripped as the build strips, it is the shipped file
# byte for byte, so a crash address from the field reads against it.
# usage: check_symbols.sh OBJDUMP STRIP SHIPPED_EXE UNSTRIPPED_EXE
set -uo pipefail
objdump=$1 strip=$2 shipped=$3 unstripped=$4
. "$(dirname "$0")/checks.sh"
check "the unstripped copy exists" test -f "$unstripped"
sections=$("$objdump" -h "$unstripped" 2>/dev/null)
check "it holds debug information" grep -qE '[[:space:]]\.debug_info[[:space:]]' <<<"$sections"
check "it holds the symbol table" bash -c '"$1" -t "$2" | grep -q "RunDsnRestore\|RunCacheAccessCheck"' _ "$objdump" "$unstripped"
restripped=$(mktemp)
trap 'rm -f "$restripped"' EXIT
SOURCE_DATE_EPOCH=0 "$strip" --strip-all -o "$restripped" "$unstripped"
check "stripped, it is the shipped file byte for byte" cmp -s "$restripped" "$shipped"
finish_checks "$unstripped"
