#!/usr/bin/env bash
# Checks the 64-bit ARM training code: it holds two-double vector arithmetic
# (the Advanced SIMD pass was compiled in) and no fused multiply-add of any
# form, scalar or vector, anywhere in the core, so every product and sum is
# rounded on its own. Usage: check-arm64-code.sh libpellumar_core.a
set -euo pipefail
lib=${1:?usage: $0 libpellumar_core.a}
listing=$(aarch64-linux-gnu-objdump -d --no-show-raw-insn "$lib")
source "$(dirname "$0")/checks.sh"
count() { grep -cE "$1" <<<"$listing" || true; }

fused=$(count $'\t(fmadd|fmsub|fnmadd|fnmsub|fmla|fmls)\t')
check "no fused multiply-add instruction ($fused found)" test "$fused" -eq 0
for op in fmul fdiv fadd fsub; do
  n=$(count $'\t'"$op"$'\tv[0-9]+\\.2d')
  check "two-double vector $op present ($n found)" test "$n" -gt 0
done
finish_checks arm64-code
