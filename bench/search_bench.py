#!/usr/bin/env python3
"""pellumar_search against scikit-learn's GridSearchCV on synthetic text
(bench/search_data.py: 5,000 documents, 10^6 features, ten classes), for
make bench-search. Each search runs in a fresh process, the ways alternating
for --rounds rounds in one sitting: scikit-learn (bench/search_sklearn.py),
then pellumar_search (bench/search_bench.m) with its default grid on one
thread and on its default threads, and with 'Passes' 20 alone on one thread.
Prints every run, then the best time of each, the ratios, and each one's
peak resident memory above the loaded data."""
import os
import re
import shlex
import subprocess
import sys

import sitting

LINE = re.compile(r"^(scikit-learn|pellumar_search) ([\d.]+) s \(processor ([\d.]+) s\), peak \+(\d+) MB")


def run(command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    found = [m for m in map(LINE.search, done.stdout.splitlines()) if m]
    if done.returncode != 0 or not found:
        sys.exit("bench-search: %s failed:\n%s" % (" ".join(command), done.stdout))
    print("  " + found[-1].string)
    return float(found[-1].group(2)), float(found[-1].group(3)), int(found[-1].group(4))


def main():
    args, here, toolbox, data = sitting.arguments("the .mat file (made when missing)",
                                                  ("--module", "the folder of the built module"))
    if not os.path.exists(data):
        subprocess.run([sys.executable, os.path.join(here, "search_data.py"), data], check=True)

    def octave(options):
        return shlex.split(args.octave) + ["--eval", "addpath('%s', '%s'); DATA = '%s'; OPTIONS = %s; run('%s')" % (
            os.path.abspath(args.module), toolbox, data, options, os.path.join(here, "search_bench.m"))]

    ways = [("scikit-learn GridSearchCV, 1 job", [sys.executable, os.path.join(here, "search_sklearn.py"), data]),
            ("pellumar_search, 1 thread", octave("{'Threads', 1}")),
            ("pellumar_search, default threads", octave("{}")),
            ("pellumar_search, 'Passes' 20 alone, 1 thread", octave("{'Threads', 1, 'Passes', 20}"))]
    results = {name: [] for name, _ in ways}
    for r in range(args.rounds):
        print("round %d" % (r + 1))
        for name, command in ways:
            results[name].append(run(command))
    best = {name: (min(x[0] for x in rows), min(x[1] for x in rows), max(x[2] for x in rows))
            for name, rows in results.items()}
    sk = best[ways[0][0]]
    one = best[ways[1][0]]
    print("%s; default grid (6 Lambda x Passes 5 and 20), 5 folds; best of %d rounds, each in a fresh process"
          % (data, args.rounds))
    for name, (wall, cpu, peak) in best.items():
        print("  %-46s %7.2f s wall, %7.2f s processor, peak +%4d MB; %.3fx scikit-learn's time, %.3fx its peak"
              % (name, wall, cpu, peak, wall / sk[0], peak / max(sk[2], 1)))
    print("  Passes [5 20] / Passes 20, 1 thread: %.3fx" % (one[0] / best[ways[3][0]][0]))


if __name__ == "__main__":
    main()
