#!/usr/bin/python3
"""Compares two sets of CA result files (PREFIX_Lambda.txt, _Z, _W, _P, _Q).

    compare.py PREFIX_A PREFIX_B [AXES]

Prints the largest relative difference of the principal inertias, of the
masses, and of the coordinates per axis up to the axis sign (relative to the
axis's largest coordinate), over the first AXES axes (default: all common).
Files missing on one side are skipped (R's peer writes only Lambda).
"""
import os
import sys

import numpy as np


def load(path):
    if not os.path.exists(path):
        return None
    with open(path) as f:
        v = np.array(f.read().split(), dtype=float)
    if path.endswith(("_Z.txt", "_W.txt")):
        rows, cols = int(v[0]), int(v[1])
        return v[2:].reshape(rows, cols)
    return v[1:]


def main():
    a, b = sys.argv[1], sys.argv[2]
    la, lb = load(a + "_Lambda.txt"), load(b + "_Lambda.txt")
    if la is None or lb is None:
        print("no result to compare")
        return
    n = min(la.size, lb.size)
    if len(sys.argv) > 3:
        n = min(n, int(sys.argv[3]))
    out = [f"axes {n}", f"lambda {np.max(np.abs(la[:n] - lb[:n]) / np.abs(lb[:n])):.1e}"]
    for suffix in ("_P.txt", "_Q.txt"):
        pa, pb = load(a + suffix), load(b + suffix)
        if pa is not None and pb is not None:
            out.append(f"{suffix[1]} {np.max(np.abs(pa - pb)) / np.max(np.abs(pb)):.1e}")
    for suffix in ("_Z.txt", "_W.txt"):
        ca, cb = load(a + suffix), load(b + suffix)
        if ca is None or cb is None:
            continue
        worst = 0.0
        for k in range(n):
            x, y = ca[:, k], cb[:, k]
            if x @ y < 0:
                x = -x
            worst = max(worst, np.max(np.abs(x - y)) / np.max(np.abs(y)))
        out.append(f"{suffix[1]} {worst:.1e}")
    print("  ".join(out))


if __name__ == "__main__":
    main()
