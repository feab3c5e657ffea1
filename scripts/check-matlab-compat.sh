#!/usr/bin/env bash
# Every .m file a user gets (the examples, the gateway's, the Octave package's)
# runs in MATLAB R2018a and Octave 6.1 alike; and the scan itself reports
# exactly the marked lines of a file written to trip it. Usage: check-matlab-compat.sh
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/checks.sh

check "shipped .m files use only what MATLAB has" \
  python3 scripts/matlab_compat.py scan examples/*.m gateway/*.m toolbox/*.m toolbox/private/*.m dist/octave/*.m

fixture=tests/matlab_compat/octave_only_fixture.m
want=$( { grep -n 'flagged$' "$fixture" | grep -v 'flagged above$' | cut -d: -f1
         grep -n 'flagged above$' "$fixture" | awk -F: '{print $1 - 1}'; } | sort -n | tr '\n' ' ')
got=$(python3 scripts/matlab_compat.py scan "$fixture" | sed -n 's/^[^:]*:\([0-9]*\):.*/\1/p' | uniq | tr '\n' ' ')
check "the scan reports exactly the marked lines of the fixture (want: $want; got: $got)" \
  test "$want" = "$got"

finish_checks matlab-compat
