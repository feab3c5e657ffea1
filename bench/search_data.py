#!/usr/bin/env python3
"""Synthetic text for the search benchmark: DOCS documents over FEATURES
features, ten classes, about 55 distinct non-zeros a document (8 from its class's
own 2,000 words, 6 from a random class's, 45 draws from a Zipf-like background over every feature),
tf-idf-like positive values scaled to unit length. Written with a fixed seed
to a .mat file (samples as columns) that Octave and scikit-learn both load.
Usage: search_data.py OUT.mat [DOCS [FEATURES]]"""
import sys

import numpy as np
import scipy.io
import scipy.sparse


def main():
    out = sys.argv[1]
    docs = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    features = int(sys.argv[3]) if len(sys.argv) > 3 else 10**6
    rng = np.random.default_rng(20261209)
    labels = rng.integers(1, 11, size=docs)
    topic = rng.permutation(features)[:10 * 2000].reshape(10, 2000)
    rows, cols, vals = [], [], []
    for d in range(docs):
        other = rng.integers(0, 10)
        own = np.concatenate([topic[labels[d] - 1, rng.integers(0, 2000, size=8)],
                              topic[other, rng.integers(0, 2000, size=6)]])
        background = np.minimum(rng.zipf(1.3, size=45) - 1, features - 1)
        words = np.unique(np.concatenate([own, background]))
        weights = rng.random(words.size) + 0.5
        weights /= np.sqrt(np.sum(weights * weights))
        rows.append(words)
        cols.append(np.full(words.size, d))
        vals.append(weights)
    X = scipy.sparse.csc_matrix((np.concatenate(vals), (np.concatenate(rows), np.concatenate(cols))),
                                shape=(features, docs))
    scipy.io.savemat(out, {"X": X, "labels": labels.astype(float).reshape(1, -1)})
    print("%s: %d documents, %d features, %d non-zeros" % (out, docs, features, X.nnz))


if __name__ == "__main__":
    main()
