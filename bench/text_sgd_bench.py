#!/usr/bin/env python3
"""scikit-learn's averaged SGDClassifier on the text data, on Pellumar's
schedule (as bench/text_peers.py sets it up: hinge, alpha = lambda,
invscaling eta0/sqrt(t), averaged, an intercept, the rows permuted once and
shuffle=False), for make bench-text: ten one-vs-rest classifiers and one
binary classifier (the first section against the rest), best of --repeats
fits. Prints "sklearn KIND PASSES SECONDS ACCURACY" lines."""
import argparse
import os
import sys
import time
import warnings

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
from text_peers import load  # noqa: E402
from sklearn.linear_model import SGDClassifier  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", required=True)
    parser.add_argument("--lambda", dest="lam", type=float, default=1e-6)
    parser.add_argument("--eta0", type=float, default=32.0)
    parser.add_argument("--passes", default="5,20")
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    features = int(open(os.path.join(args.data, "features.txt")).read())
    Xtrain, ytrain = load(args.data, "train.libsvm", features)
    Xtest, ytest = load(args.data, "test.libsvm", features)
    order = np.random.RandomState(1).permutation(Xtrain.shape[0])
    Xtrain, ytrain = Xtrain[order], ytrain[order]
    for passes in [int(p) for p in args.passes.split(",")]:
        for kind in ("ten", "binary"):
            y = ytrain if kind == "ten" else np.where(ytrain == 1, 1, -1)
            yt = ytest if kind == "ten" else np.where(ytest == 1, 1, -1)
            best = float("inf")
            for _ in range(args.repeats):
                model = SGDClassifier(loss="hinge", penalty="l2", alpha=args.lam,
                                      learning_rate="invscaling", eta0=args.eta0, power_t=0.5,
                                      average=True, shuffle=False, max_iter=passes, tol=None,
                                      fit_intercept=True)
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    start = time.perf_counter()
                    model.fit(Xtrain, y)
                    best = min(best, time.perf_counter() - start)
            accuracy = float(np.mean(model.predict(Xtest) == yt))
            print(f"sklearn {kind} {passes} {best:.4f} {accuracy:.4f}", flush=True)


if __name__ == "__main__":
    main()
