#!/usr/bin/env bash
# The run of this tree against the core of an earlier commit, in one sitting:
# both built with the same flags into bench/versus_driver.cpp, pinned to one
# core, run in ROUNDS alternating rounds. Prints each M's best and every
# round's time for both, the speed-up, and whether the weights' bits agree.
# Usage: versus.sh REV [ROUNDS]   (make versus BASE=REV)
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:?usage: $0 REV [ROUNDS]}
rounds=${2:-4}
out=build/versus
rm -rf "$out" && mkdir -p "$out/base"
git archive "$rev" core | tar -x -C "$out/base"
flags=(-std=c++17 -O3 -DNDEBUG -ffp-contract=off -fno-fast-math)
# The core in folders, each file included by its folder's name. A base from
# before the folders has its files in core/ itself: every folder's name
# then leads to all of them, so the driver's includes find them there.
if [ -d "$out/base/core/run" ]; then
  base_sources=("$out"/base/core/*/*.cpp)
else
  base_sources=("$out"/base/core/*.cpp)
  for folder in platform run sparse engine module; do
    mkdir -p "$out/base/core/$folder"
    for f in "$out"/base/core/*.h "$out"/base/core/*.cpp; do ln -s "../$(basename "$f")" "$out/base/core/$folder/"; done
  done
fi
g++ "${flags[@]}" -I"$out/base/core" bench/versus_driver.cpp "${base_sources[@]}" -o "$out/base_driver"
g++ "${flags[@]}" -Icore bench/versus_driver.cpp core/*/*.cpp -o "$out/this_driver"
pin=(); command -v taskset >/dev/null && pin=(taskset -c "$(($(nproc) - 1))")
for ((r = 1; r <= rounds; r++)); do
  "${pin[@]}" "$out/base_driver" > "$out/base_$r.txt"
  "${pin[@]}" "$out/this_driver" > "$out/this_$r.txt"
done
python3 - "$out" "$rounds" "$rev" <<'PY'
import sys
out, rounds, rev = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def load(name):
    return [{(l.split()[0], l.split()[1]): (float(l.split()[2]), l.split()[3]) for l in open(f'{out}/{name}_{r}.txt')}
            for r in range(1, rounds + 1)]
base, this = load('base'), load('this')
print(f'ns per iteration, {rev} against this tree, best of {rounds} rounds (each round: best of 3)')
same_all = True
for key in base[0]:
    b = [run[key][0] for run in base]; t = [run[key][0] for run in this]
    same = len({run[key][1] for run in base + this}) == 1
    same_all &= same
    print('M=%-7s %-6s %s %9.2f  this %9.2f  speed-up %.2fx  %s   rounds: %s | %s' % (
        key[0], key[1], rev[:8], min(b), min(t), min(b) / min(t), 'same bits' if same else 'DIFFERENT',
        ' '.join('%.1f' % x for x in b), ' '.join('%.1f' % x for x in t)))
sys.exit(0 if same_all else 1)
PY
