# Sourced by the check scripts: counts checks and prints "N passed, N failed".
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...: the check holds when COMMAND succeeds
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
finish_checks() {  # finish_checks LABEL: prints the tally, fails if any check failed
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
