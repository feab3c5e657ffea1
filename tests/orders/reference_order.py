#!/usr/bin/env python3
"""Visiting orders written from doc/ORDERS.md alone, in Python's integers, and
checked against the orders that pellumar_order printed, one per line:
"N seed i1 i2 ... iN" (1-based). Prints "orders: K passed, F failed"."""
import sys

MASK = (1 << 64) - 1


def splitmix64(seed):
    state = seed
    while True:
        state = (state + 0x9E3779B97F4A7C15) & MASK
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        yield z ^ (z >> 31)


def below(values, i):
    reject = (1 << 64) % i
    r = next(values)
    while r < reject:
        r = next(values)
    return r % i


def order(n, seed):
    values = splitmix64(seed)
    result = list(range(n))
    for p in range(1, n):
        j = below(values, p + 1)
        result[p], result[j] = result[j], result[p]
    return [i + 1 for i in result]


def main(path):
    passed = failed = 0
    with open(path) as lines:
        for line in lines:
            fields = [int(float(v)) for v in line.split()]
            if not fields:
                continue
            n, seed, got = fields[0], fields[1], fields[2:]
            if got == order(n, seed):
                passed += 1
            else:
                failed += 1
                print(f"FAILED: N = {n}, seed = {seed}")
    print(f"orders: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
