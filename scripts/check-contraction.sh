#!/usr/bin/env bash
# Checks that no fused multiply-add reaches the core in a build that passes
# no contraction flag (a plain mex call, an IDE project), where only the
# pragmas of core/platform/exact_arithmetic.h keep a*b+c from being fused.
# Every core .cpp is compiled without -ffp-contract=off, by g++ and by clang++, as
# ISO and GNU C++14, at -O2 and -O3, for Haswell (FMA) and Skylake-AVX512,
# and no object may hold an x86 fused multiply-add: FMA3's vfmadd*, vfmsub*,
# vfnmadd*, vfnmsub* (vfmaddsub*, vfmsubadd* among them; EVEX forms too),
# FMA4's vfmaddpd and kin, and AVX512-4FMAPS's v4fmaddps.
#
# Controls, so that a pass means something:
#   - in each configuration, a lone a*b+c compiled the same way but without
#     the header must be fused (the compiler does contract for that target);
#   - the core compiled from a copy with the pragmas deleted must hold fused
#     multiply-adds (so it is the pragmas that keep them out);
#   - with -ffp-contract=off given, as our builds give it, the core compiles
#     to the same instructions with the pragmas as without them.
# And every core .cpp includes exact_arithmetic.h before anything else.
#
# Not covered: clang given -ffp-contract=fast (or -ffast-math) explicitly
# ignores the pragma, as its documentation says; no build may pass those.
# Usage: check-contraction.sh [OUTDIR]   (make check-contraction; JOBS
# compilers at a time, all cores by default)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
source scripts/checks.sh
out=${1:-build/contraction-check}
jobs=${JOBS:-$(nproc)}
compilers=(g++ clang++)
configs=("-std=c++14 -O2 -march=haswell" "-std=gnu++14 -O2 -march=haswell"
         "-std=c++14 -O3 -march=haswell" "-std=gnu++14 -O3 -march=skylake-avx512")
# Our own builds' flags (make_pellumar's, without -march) for the last control.
ours="-std=c++14 -O3 -ffp-contract=off -fno-fast-math"
fused_re=$'\t''(\{[a-z0-9]+\} )?v4?fn?m(add|sub)'

for cxx in "${compilers[@]}"; do
  command -v "$cxx" >/dev/null || { echo "check-contraction: $cxx not found" >&2; exit 2; }
done
rm -rf "$out" && mkdir -p "$out"

# Every core .cpp: its first #include is the header.
late=""
for f in core/*/*.cpp; do
  first=$(grep -m1 -E '^[[:space:]]*#[[:space:]]*include' "$f")
  [[ "$first" =~ ^#include\ \"platform/exact_arithmetic.h\" ]] || late+=" $(basename "$f")"
done
check "every core .cpp includes exact_arithmetic.h first (not:${late:- none})" test -z "$late"

# The core without the pragmas, and the one-line control.
cp -r core "$out/unguarded"
sed -i -E '/^#pragma (STDC FP_CONTRACT|GCC optimize|fp_contract)/d' "$out/unguarded/platform/exact_arithmetic.h"
deleted=$(diff core/platform/exact_arithmetic.h "$out/unguarded/platform/exact_arithmetic.h" | grep -c '^<')
check "the unguarded copy lacks the header's 3 pragmas ($deleted deleted)" test "$deleted" -eq 3
printf 'double fused(double a, double b, double c) { return a * b + c; }\n' > "$out/control.cpp"

# Compile jobs, one per line: OUTDIR CXX SOURCE FLAGS...; all run JOBS at a
# time, each leaving NAME.o and its diagnostics in NAME.err.
compile() {
  local dir=$1 cxx=$2 src=$3; shift 3
  local name
  name=$(basename "$src" .cpp)
  mkdir -p "$dir"
  "$cxx" "$@" -Wall -Wextra -I"$(dirname "$(dirname "$src")")" -c "$src" -o "$dir/$name.o" 2>"$dir/$name.err" ||
    echo "compile failed" >>"$dir/$name.err"
}
export -f compile
tag() { tr -c 'a-zA-Z0-9+\n' '_' <<<"$1"; }
{
  for cxx in "${compilers[@]}"; do
    for flags in "${configs[@]}"; do
      dir="$out/$cxx/$(tag "$flags")"
      for f in core/*/*.cpp; do echo "$dir/core $cxx $f $flags"; done
      echo "$dir/control $cxx $out/control.cpp $flags"
    done
    for f in "$out"/unguarded/*/*.cpp; do
      echo "$out/$cxx/unguarded $cxx $f ${configs[0]}"
      echo "$out/$cxx/ours-unguarded $cxx $f $ours"
    done
    for f in core/*/*.cpp; do echo "$out/$cxx/ours $cxx $f $ours"; done
  done
} | xargs -P "$jobs" -L 1 bash -c 'compile "$@"' _

fused() {  # fused DIR: "TOTAL name:count ..." over DIR/*.o; "-1" if none was made
  local total=0 list="" n o
  compgen -G "$1/*.o" >/dev/null || { echo "-1 (no object)"; return; }
  for o in "$1"/*.o; do
    n=$(objdump -d --no-show-raw-insn "$o" | grep -cE "$fused_re")
    total=$((total + n))
    [ "$n" -gt 0 ] && list+=" $(basename "$o" .o):$n"
  done
  echo "$total$list"
}
clean() {  # clean DIR...: every compile there succeeded without a diagnostic
  local d e bad=()
  for d in "$@"; do for e in "$d"/*.err; do [ -s "$e" ] && bad+=("$e"); done; done
  [ ${#bad[@]} -eq 0 ] || { echo "diagnostics in: ${bad[*]}"; cat "${bad[@]}" | head -20; return 1; }
}
# Each function's instructions, addresses left out, functions by name: the
# order in which the compiler lays them out may change and matters not.
listing() {
  objdump -d --no-show-raw-insn "$1" |
    awk '/^[0-9a-f]+ <.*>:$/ { f = $2; next }
         f != "" && /\t/ { sub(/^[^\t]*\t/, ""); gsub(/[0-9a-f]+ </, "<"); print f "\t" $0 }' |
    sort -s -t $'\t' -k1,1
}
same_code() {  # same_code DIR1 DIR2: every object's functions alike
  local o differ=""
  for o in "$1"/*.o; do
    cmp -s <(listing "$o") <(listing "$2/$(basename "$o")") || differ+=" $(basename "$o" .o)"
  done
  [ -z "$differ" ] || { echo "instructions differ in:$differ"; return 1; }
}

for cxx in "${compilers[@]}"; do
  for flags in "${configs[@]}"; do
    dir="$out/$cxx/$(tag "$flags")"
    control=$(fused "$dir/control")
    core=$(fused "$dir/core")
    echo "$cxx $flags: fused multiply-adds in the control ${control%% *}, in the core ${core%% *}"
    check "$cxx $flags: compiles without a diagnostic" clean "$dir/control" "$dir/core"
    check "$cxx $flags: a*b+c without the header is fused (${control%% *} found)" \
      test "${control%% *}" -gt 0
    check "$cxx $flags: no fused multiply-add in the core (${core})" test "${core%% *}" -eq 0
  done
  unguarded=$(fused "$out/$cxx/unguarded")
  echo "$cxx ${configs[0]}, the pragmas deleted: fused multiply-adds in the core ${unguarded%% *}"
  check "$cxx ${configs[0]}: the core without the pragmas holds fused multiply-adds ($unguarded)" \
    test "${unguarded%% *}" -gt 0
  check "$cxx $ours: compiles without a diagnostic" clean "$out/$cxx/ours" "$out/$cxx/ours-unguarded"
  check "$cxx $ours: the pragmas change no instruction" same_code "$out/$cxx/ours" "$out/$cxx/ours-unguarded"
done
finish_checks check-contraction
