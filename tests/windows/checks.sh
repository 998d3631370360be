# Sourced by the checks of the built executables: each check is one line,
# "ok: ..." or "FAILED: ...", and finish_checks ends the script with the count.
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
finish_checks() {  # finish_checks [WHAT]: the closing line and the exit status
  if [ $failures -gt 0 ]; then
    echo "$failures check(s) failed${1:+ for $1}"
    exit 1
  fi
  echo "all checks passed${1:+ for $1}"
  exit 0
}
shown_failing() {  # shown_failing DESCRIPTION COMMAND...: a check on a deliberately broken input, which must fail
  local what=$1 status; shift
  "$@" 2>&1 | sed 's/^/    /'
  status=${PIPESTATUS[0]}
  check "$what" test "$status" -ne 0
}
