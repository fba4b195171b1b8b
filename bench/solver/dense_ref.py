#!/usr/bin/python3
"""Dense reference CA for the solver benchmark: the full SVD (LAPACK) of the
dense standardized-residual matrix. Only for tables that fit in memory.

    dense_ref.py K TABLE OUTPREFIX

Writes OUTPREFIX_Z.txt, _W.txt, _P.txt, _Q.txt, _Lambda.txt (K axes).
"""
import sys

import numpy as np

from ca_svds import write_matrix, write_vector


def main():
    k, table, prefix = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    with open(table) as f:
        values = np.array(f.read().split(), dtype=float)
    rows, cols = int(values[0]), int(values[1])
    n = values[2:2 + rows * cols].reshape(rows, cols)
    del values
    p = n / n.sum()
    r, c = p.sum(axis=1), p.sum(axis=0)
    lr, lc = r > 0, c > 0
    s = (p[np.ix_(lr, lc)] - np.outer(r[lr], c[lc])) / np.sqrt(np.outer(r[lr], c[lc]))
    U, sv, Vt = np.linalg.svd(s, full_matrices=False)
    Z = np.zeros((rows, k))
    W = np.zeros((cols, k))
    Z[lr] = U[:, :k] * sv[:k] / np.sqrt(r[lr])[:, None]
    W[lc] = Vt[:k].T * sv[:k] / np.sqrt(c[lc])[:, None]
    write_matrix(prefix + "_Z.txt", Z)
    write_matrix(prefix + "_W.txt", W)
    write_vector(prefix + "_P.txt", r)
    write_vector(prefix + "_Q.txt", c)
    write_vector(prefix + "_Lambda.txt", sv[:k] ** 2)


if __name__ == "__main__":
    main()
