#!/usr/bin/env python3
"""A synthetic LIBSVM file for make bench-read: tf-idf-like documents, about
--per-line non-zeros each (lengths drawn around it), feature indices from a
Zipf-like law over --features (feature k with probability about 1/k), 1-based
and ascending within a line, values the L2-normalised log(1 + count) * idf
printed with %.6g, labels +1/-1. A fixed seed, so every run writes the same
bytes. Prints the file's size, lines and non-zeros."""
import argparse
import os

import numpy as np


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--lines", type=int, default=110000)
    parser.add_argument("--per-line", type=int, default=100)
    parser.add_argument("--features", type=int, default=1000000)
    parser.add_argument("--seed", type=int, default=20261210)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    idf = np.log(1.0 + args.features / np.arange(1, args.features + 1))
    nonzeros = 0
    tmp = args.out + ".part"
    with open(tmp, "w") as out:
        for start in range(0, args.lines, 1000):
            block = []
            for _ in range(min(1000, args.lines - start)):
                draws = max(1, int(rng.normal(args.per_line * 1.1, args.per_line * 0.3)))
                # Zipf-like by inverse transform: floor(exp(u log(M+1))).
                words = np.floor(np.exp(rng.random(draws) * np.log(args.features + 1))).astype(np.int64)
                words = np.clip(words, 1, args.features)
                index, counts = np.unique(words, return_counts=True)
                value = np.log1p(counts) * idf[index - 1]
                value /= np.sqrt(np.dot(value, value))
                label = "+1" if rng.random() < 0.5 else "-1"
                pairs = " ".join("%d:%.6g" % pair for pair in zip(index.tolist(), value.tolist()))
                block.append(label + " " + pairs + "\n")
                nonzeros += len(index)
            out.write("".join(block))
    os.replace(tmp, args.out)
    print("%s: %.1f MB, %d lines, %d non-zeros" % (args.out, os.path.getsize(args.out) / 2**20,
                                                   args.lines, nonzeros))


if __name__ == "__main__":
    main()
