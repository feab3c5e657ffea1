#!/usr/bin/env python3
"""The same work through scikit-learn's SGDClassifier, as a peer row for the
benchmark: hinge loss, averaged weights, no intercept, step eta0/sqrt(t), and
Pellumar's schedule: one random order of the samples, visited in every pass.
The rows are put into that order once, before the fit, and scikit-learn reads
them as they lie (shuffle=False), sequentially; Pellumar reads its columns in
the order by index.

Prints ns per element-iteration (one sample visit costs M element-iterations)
for data matrices of about 32 MB, as bench_training does, and beside it, for
reference only, scikit-learn's default of a new order every pass
(shuffle=True, the rows read at random), which is not the same schedule.
scikit-learn runs whole epochs, so T = epochs * N here. With --out FILE, also
writes "M ns" lines of the same-schedule run there, which bench_training
--peer FILE puts beside its own times.
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


def one_order(X, y, seed):
    """The rows moved into one random order, so that a fit with shuffle=False
    visits that order in every pass and reads memory front to back."""
    order = np.random.default_rng(seed).permutation(len(X))
    return X[order], y[order]


def seconds(X, y, epochs, shuffle, rounds):
    """The best of ROUNDS fits' times."""
    best = float("inf")
    for _ in range(rounds):
        model = SGDClassifier(loss="hinge", penalty="l2", alpha=1e-4, average=True,
                              fit_intercept=False, learning_rate="invscaling", eta0=0.5,
                              power_t=0.5, max_iter=epochs, tol=None, shuffle=shuffle,
                              random_state=0)
        start = time.perf_counter()
        model.fit(X, y)
        best = min(best, time.perf_counter() - start)
    return best


def main():
    quick = "--quick" in sys.argv
    out = sys.argv[sys.argv.index("--out") + 1] if "--out" in sys.argv else None
    rows = []
    element_iterations = 2e7 if quick else 2e8
    rounds = 1 if quick else 3
    print("scikit-learn SGDClassifier(loss='hinge', average=True, fit_intercept=False, "
          "learning_rate='invscaling', power_t=0.5)\n"
          "sklearn: one random order, rows permuted once before the fit, shuffle=False "
          "(Pellumar's schedule)\n"
          "reshuffled: its default shuffle=True, a new order every pass (not the same "
          "schedule; not compared)")
    print(f"{'M':>8} {'N':>8} {'T':>10} | {'sklearn ns/ei':>14} {'reshuffled':>11}")
    for M in (100, 1000, 10000):
        X, y = one_order(*problem(M, 32 << 20, 7 + M), 11 + M)
        N = X.shape[0]
        epochs = max(1, int(round(element_iterations / (N * M))))
        T = epochs * N
        same = 1e9 * seconds(X, y, epochs, False, rounds) / (T * M)
        reshuffled = 1e9 * seconds(X, y, epochs, True, rounds) / (T * M)
        print(f"{M:>8} {N:>8} {T:>10} | {same:>14.3f} {reshuffled:>11.3f}")
        rows.append(f"{M} {same:.6f}\n")
    if out:
        with open(out, "w") as f:
            f.writelines(rows)


if __name__ == "__main__":
    main()
