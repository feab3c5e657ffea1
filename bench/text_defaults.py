#!/usr/bin/env python3
"""scikit-learn's SGDClassifier() with all its defaults (hinge loss, alpha
1e-4, its 'optimal' steps, a new order every pass, stopping at tol 1e-3) on
the text example's files, against which Pellumar's defaults are measured
(doc/PERFORMANCE.md, Eta0 'auto'): held-out accuracy and the fit's time for
each random_state in turn, in this one process. Prints one line per seed."""
import argparse
import os
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
from text_peers import load  # noqa: E402
from sklearn.linear_model import SGDClassifier  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default="build/text")
    parser.add_argument("--seeds", type=int, default=5)
    args = parser.parse_args()
    with open(os.path.join(args.data, "features.txt")) as f:
        features = int(f.read().split()[0])
    Xtrain, ytrain = load(args.data, "train.libsvm", features)
    Xtest, ytest = load(args.data, "test.libsvm", features)
    for seed in range(args.seeds):
        start = time.perf_counter()
        model = SGDClassifier(random_state=seed).fit(Xtrain, ytrain)
        seconds = time.perf_counter() - start
        print(f"SGDClassifier(random_state={seed}): held-out {np.mean(model.predict(Xtest) == ytest):.4f}"
              f" in {seconds:.2f} s, {model.n_iter_} passes", flush=True)


if __name__ == "__main__":
    main()
