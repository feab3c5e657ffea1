#!/usr/bin/env python3
"""Reading a LIBSVM file, for make bench-read: scikit-learn's
load_svmlight_file (bench/read_libsvm_sklearn.py) and Octave's
pellumar_read_libsvm (bench/read_libsvm_bench.m) on the same file, each read
in a fresh process, the two alternating for --rounds rounds in one sitting.
Prints every read, then the best time of each (wall clock and processor),
the ratio Octave / scikit-learn, and each one's peak memory per non-zero."""
import os
import re
import shlex
import subprocess
import sys

import sitting

LINE = re.compile(r"([\d.]+) s \(processor ([\d.]+) s\), (\d+) non-zeros, peak \+(\d+) MB "
                  r"\(([\d.]+) bytes per non-zero, ([-\d.]+) above the result\)")


def run(command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    out = done.stdout.strip()
    found = [LINE.search(line) for line in out.splitlines()]
    found = [f for f in found if f]
    if done.returncode != 0 or not found:
        sys.exit("bench-read: %s failed:\n%s" % (" ".join(command), out))
    print(found[-1].string)
    wall, cpu, nnz, _, per, above = found[-1].groups()
    return float(wall), float(cpu), int(nnz), float(per), float(above)


def main():
    args, here, toolbox, data = sitting.arguments("the LIBSVM file")
    python = [sys.executable, os.path.join(here, "read_libsvm_sklearn.py"), data]
    octave = shlex.split(args.octave) + [
        "--eval", "addpath('%s'); FILE = '%s'; run('%s')" % (toolbox, data, os.path.join(here, "read_libsvm_bench.m"))]
    results = {"scikit-learn": [], "Octave": []}
    for _ in range(args.rounds):
        results["scikit-learn"].append(run(python))
        results["Octave"].append(run(octave))
    sk, oc = results["scikit-learn"], results["Octave"]
    if {r[2] for r in sk} != {r[2] for r in oc}:
        sys.exit("bench-read: the two read different numbers of non-zeros")
    print("%s: %.1f MB, %d non-zeros; best of %d rounds, each read in a fresh process"
          % (data, os.path.getsize(data) / 2**20, sk[0][2], args.rounds))
    for name, rows in results.items():
        print("  %-13s %7.3f s wall, %7.3f s processor; peak %.1f bytes per non-zero (%.1f above the result)"
              % (name, min(r[0] for r in rows), min(r[1] for r in rows), max(r[3] for r in rows),
                 max(r[4] for r in rows)))
    print("  Octave / scikit-learn: %.2fx wall, %.2fx processor"
          % (min(r[0] for r in oc) / min(r[0] for r in sk), min(r[1] for r in oc) / min(r[1] for r in sk)))


if __name__ == "__main__":
    main()
