#!/usr/bin/env python3
"""Peers of examples/fashion_mnist_demo.m on the same data and settings.

scikit-learn's SGDClassifier on Pellumar's schedule: hinge loss, L2 penalty
alpha = lambda, step eta0/sqrt(t) with eta0 = 1 (invscaling, power_t = 0.5),
averaged weights, the same row of ones as the bias and no intercept of its
own, one-vs-rest over the ten classes, for each setting of
examples/fashion_settings.txt; and one random order of the training images,
visited in every pass, as Pellumar visits its one order. The images are put
into that order once, before any fit, and each fit reads them as they lie
(shuffle=False), not reshuffled every pass as scikit-learn does by default.
The ten classifiers train --jobs at a time (n_jobs), by default as many as
the demo's pellumar_train trains at once in Octave: the processors this
process may run on (nproc), or OMP_NUM_THREADS when it is set. LinearSVC
(hinge loss, C = 1, the same bias row, no intercept, on the same reordered
images, one classifier at a time) takes minutes and runs only with --peers
all.

Prints the demo's table and, with --out FILE, writes "method passes lambda
accuracy seconds" lines that the demo's picture puts beside its own points
(LinearSVC's line has passes 0 and C in place of lambda).
"""
import argparse
import gzip
import os
import struct
import time
import warnings

import numpy as np
from sklearn.linear_model import SGDClassifier
from sklearn.svm import LinearSVC

CLASSES = ["T-shirt/top", "Trouser", "Pullover", "Dress", "Coat",
           "Sandal", "Shirt", "Sneaker", "Bag", "Ankle boot"]
HERE = os.path.dirname(os.path.abspath(__file__))


def read_idx(path):
    """An IDX file of unsigned bytes (plain or .gz), checked as the demo checks it."""
    if not os.path.exists(path) and os.path.exists(path + ".gz"):
        path += ".gz"
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rb") as f:
        data = f.read()
    if len(data) < 4 or data[0] != 0 or data[1] != 0 or data[2] != 8 or not 1 <= data[3] <= 4:
        raise ValueError(f"{path}: not an IDX file of unsigned bytes")
    ndims = data[3]
    dims = struct.unpack(f">{ndims}I", data[4:4 + 4 * ndims])
    body = np.frombuffer(data, dtype=np.uint8, offset=4 + 4 * ndims)
    if body.size != int(np.prod(dims)):
        raise ValueError(f"{path}: {dims} needs {int(np.prod(dims))} bytes, has {body.size}")
    return body.reshape(dims)


def load_split(folder, prefix, count):
    """Images as rows scaled to [0, 1] with a column of ones; labels 0..9."""
    images = read_idx(os.path.join(folder, f"{prefix}-images-idx3-ubyte"))[:count]
    labels = read_idx(os.path.join(folder, f"{prefix}-labels-idx1-ubyte"))[:count]
    X = images.reshape(len(images), -1).astype(np.float64) / 255.0
    return np.hstack([X, np.ones((len(X), 1))]), labels.astype(np.int64)


def read_settings():
    settings = []
    with open(os.path.join(HERE, "..", "examples", "fashion_settings.txt")) as f:
        for line in f:
            if line.strip() and not line.lstrip().startswith("#"):
                passes, lam = line.split()[:2]
                settings.append((int(passes), float(lam)))
    return settings


def evaluate(model, Xtrain, ytrain, Xtest, ytest):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        start = time.perf_counter()
        model.fit(Xtrain, ytrain)
        seconds = time.perf_counter() - start
    for w in caught:
        print(f"note: {type(model).__name__}: {w.message}")
    predicted = model.predict(Xtest)
    per_class = [float(np.mean(predicted[ytest == c] == c)) for c in range(10)]
    return float(np.mean(predicted == ytest)), seconds, per_class


def default_jobs():
    """What nproc says, as Octave's nproc() does: OMP_NUM_THREADS when set,
    else the processors this process may run on."""
    try:
        return max(1, int(os.environ["OMP_NUM_THREADS"]))
    except (KeyError, ValueError):
        return len(os.sched_getaffinity(0))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default="/usr/share/datasets/fashion-mnist")
    parser.add_argument("--peers", choices=("sgd", "all"), default="sgd")
    parser.add_argument("--train", type=int, default=None)
    parser.add_argument("--test", type=int, default=None)
    parser.add_argument("--out")
    parser.add_argument("--seed", type=int, default=1, help="of the one order of the images")
    parser.add_argument("--jobs", type=int, default=default_jobs(),
                        help="classifiers trained at once (default: nproc)")
    args = parser.parse_args()

    Xtrain, ytrain = load_split(args.data, "train", args.train)
    # The demo keeps the last sixth of the training images for choosing its
    # setting and trains on the rest: so do the peers.
    fit = len(Xtrain) - len(Xtrain) // 6
    Xtrain, ytrain = Xtrain[:fit], ytrain[:fit]
    # One random order, made once and outside the timed fits: the rows are
    # moved into it, so that every pass visits it with sequential reads.
    order = np.random.default_rng(args.seed).permutation(len(Xtrain))
    Xtrain, ytrain = Xtrain[order], ytrain[order]
    Xtest, ytest = load_split(args.data, "t10k", args.test)
    print(f"Fashion-MNIST: {len(Xtrain)} training, {len(Xtest)} held-out images, "
          f"{Xtrain.shape[1] - 1} pixels (+ bias)")
    runs = []
    for passes, lam in read_settings():
        model = SGDClassifier(loss="hinge", penalty="l2", alpha=lam, average=True,
                              fit_intercept=False, learning_rate="invscaling", eta0=1.0,
                              power_t=0.5, max_iter=passes, tol=None, shuffle=False,
                              n_jobs=args.jobs)
        runs.append(("sgd", passes, lam) + evaluate(model, Xtrain, ytrain, Xtest, ytest))
    if args.peers == "all":
        model = LinearSVC(loss="hinge", C=1.0, fit_intercept=False, dual=True)
        runs.append(("linearsvc", 0, 1.0) + evaluate(model, Xtrain, ytrain, Xtest, ytest))

    print("scikit-learn SGDClassifier(loss='hinge', average=True, learning_rate='invscaling', "
          f"eta0=1, power_t=0.5, fit_intercept=False, shuffle=False, n_jobs={args.jobs}) on one "
          f"random order of the images (seed {args.seed})" +
          (" and LinearSVC(loss='hinge', C=1, fit_intercept=False)" if args.peers == "all" else ""))
    print(f"\n{'method':>10} {'passes':>7}  {'lambda':>8}  {'accuracy':>9}  {'time (s)':>9}")
    for method, passes, lam, accuracy, seconds, _ in runs:
        shown = f"{passes:>7}  {lam:>8.0e}" if passes else f"{'-':>7}  {'C = 1':>8}"
        print(f"{method:>10} {shown}  {accuracy:>9.4f}  {seconds:>9.2f}")
    print("\nPer-class held-out accuracy")
    print(f"{'class':<12}" + "".join(f"  {m[:3]}{p:>3}p/{lam:.0e}" if p else f"  {m:>13}"
                                      for m, p, lam, *_ in runs))
    for c, name in enumerate(CLASSES):
        print(f"{name:<12}" + "".join(f"  {run[5][c]:>13.3f}" for run in runs))
    if args.out:
        with open(args.out, "w") as f:
            for method, passes, lam, accuracy, seconds, _ in runs:
                f.write(f"{method} {passes} {lam:g} {accuracy:.6f} {seconds:.6f}\n")


if __name__ == "__main__":
    main()
