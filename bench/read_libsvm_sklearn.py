#!/usr/bin/env python3
"""scikit-learn's load_svmlight_file on one file, once, for make bench-read
(which runs it in a fresh process for each of its rounds): prints the time,
the non-zeros, and the peak resident memory the read added to the process
(/proc/self/status: VmHWM after the read less VmRSS before it), per
non-zero, whole and above the result (its CSR arrays: data, indices,
indptr, and the labels)."""
import argparse
import re
import time

from sklearn.datasets import load_svmlight_file


def status_kb(field):
    with open("/proc/self/status") as f:
        return int(re.search(field + r":\s*(\d+) kB", f.read()).group(1))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    args = parser.parse_args()
    before = status_kb("VmRSS") * 1024
    start = time.perf_counter()
    cpu = time.process_time()
    X, y = load_svmlight_file(args.file)
    seconds = time.perf_counter() - start
    cpu = time.process_time() - cpu
    raised = status_kb("VmHWM") * 1024 - before
    result = X.data.nbytes + X.indices.nbytes + X.indptr.nbytes + y.nbytes
    print("scikit-learn load_svmlight_file: %.3f s (processor %.3f s), %d non-zeros, peak +%.0f MB "
          "(%.1f bytes per non-zero, %.1f above the result)"
          % (seconds, cpu, X.nnz, raised / 2**20, raised / X.nnz, (raised - result) / X.nnz))


if __name__ == "__main__":
    main()
