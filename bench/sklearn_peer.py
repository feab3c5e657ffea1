#!/usr/bin/env python3
"""The same work through scikit-learn's SGDClassifier, as a peer row for the
benchmark: hinge loss, averaged weights, no intercept, step eta0/sqrt(t).

Prints ns per element-iteration (one sample visit costs M element-iterations)
for data matrices of about 32 MB, as bench_training does. scikit-learn runs
whole epochs, so T = epochs * N here. With --out FILE, also writes "M ns"
lines there, which bench_training --peer FILE puts beside its own times.
"""
import sys
import time

import numpy as np
from sklearn.linear_model import SGDClassifier


def problem(M, target_bytes, seed):
    rng = np.random.default_rng(seed)
    N = max(2, target_bytes // (8 * M))
    direction = rng.standard_normal(M)
    X = rng.standard_normal((N, M))
    y = np.where(X @ direction >= 0, 1.0, -1.0)
    return X, y


def main():
    quick = "--quick" in sys.argv
    out = sys.argv[sys.argv.index("--out") + 1] if "--out" in sys.argv else None
    rows = []
    element_iterations = 2e7 if quick else 2e8
    print("scikit-learn SGDClassifier(loss='hinge', average=True, fit_intercept=False, "
          "learning_rate='invscaling', power_t=0.5)")
    print(f"{'M':>8} {'N':>8} {'T':>10} | {'sklearn ns/ei':>14}")
    for M in (100, 1000, 10000):
        X, y = problem(M, 32 << 20, 7 + M)
        N = X.shape[0]
        epochs = max(1, int(round(element_iterations / (N * M))))
        best = float("inf")
        for _ in range(1 if quick else 3):
            model = SGDClassifier(loss="hinge", penalty="l2", alpha=1e-4, average=True,
                                  fit_intercept=False, learning_rate="invscaling", eta0=0.5,
                                  power_t=0.5, max_iter=epochs, tol=None, shuffle=True,
                                  random_state=0)
            start = time.perf_counter()
            model.fit(X, y)
            best = min(best, time.perf_counter() - start)
        T = epochs * N
        print(f"{M:>8} {N:>8} {T:>10} | {1e9 * best / (T * M):>14.3f}")
        rows.append(f"{M} {1e9 * best / (T * M):.6f}\n")
    if out:
        with open(out, "w") as f:
            f.writelines(rows)


if __name__ == "__main__":
    main()
