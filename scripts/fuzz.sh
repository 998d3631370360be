#!/usr/bin/env bash
# Fuzzes the backup path for a set time (default 60 s), under AddressSanitizer
# and UndefinedBehaviorSanitizer, starting from the seed corpus. Any finding
# fails the run and leaves its input as build/linux-sanitize/fuzz/crash-*.
# usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
cd "$root"
cmake --preset linux-sanitize >/dev/null
cmake --build --preset linux-sanitize --target restore_dsn_fuzzer >/dev/null
work="$root/build/linux-sanitize/fuzz"
mkdir -p "$work/corpus"
cd "$work"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "fuzzing the backup path for ${seconds}s"
"$root/build/linux-sanitize/tests/restore_dsn_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -max_len=8192 "$work/corpus" "$root/tests/fuzz/restore_dsn_seeds" 2>"$work/fuzz.log" || {
  tail -n 60 "$work/fuzz.log"
  echo "FAILED: the fuzzer found a fault (input saved in $work)"
  exit 1
}
grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb|stat::new_units_added)' \
  "$work/fuzz.log" || true
echo "fuzzing: no finding in ${seconds}s"
