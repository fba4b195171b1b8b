#!/usr/bin/python3
"""Peer for the solver benchmark: CA with scipy's ARPACK svds on the implicit
standardized-residual operator S = Dr^-1/2 (F - r c^T) Dc^-1/2.

    ca_svds.py K TABLE OUTPREFIX

Reads the text table row by row into a CSR matrix (never the dense table),
and writes OUTPREFIX_Z.txt, _W.txt, _P.txt, _Q.txt, _Lambda.txt in the same
formats as ca.exe, so that compare.py can check the two against each other.
"""
import sys

import numpy as np
import scipy.sparse as sp
from scipy.sparse.linalg import LinearOperator, svds


def read_table(path):
    with open(path) as f:
        header = f.readline().split()
        rows, cols = int(header[0]), int(header[1])
        indptr = [0]
        indices = []
        data = []
        pending = np.empty(0)
        for _ in range(rows):
            values = pending
            while values.size < cols:
                line = f.readline()
                if not line:
                    raise SystemExit(f"{path}: table too short")
                values = np.concatenate([values, np.array(line.split(), dtype=float)])
            row, pending = values[:cols], values[cols:]
            nz = np.flatnonzero(row)
            indices.append(nz)
            data.append(row[nz])
            indptr.append(indptr[-1] + nz.size)
    return sp.csr_matrix((np.concatenate(data), np.concatenate(indices), np.array(indptr)),
                         shape=(rows, cols))


def write_matrix(path, m):
    with open(path, "w") as f:
        f.write(f"{m.shape[0]} {m.shape[1]}\n")
        np.savetxt(f, m, fmt="%.17g")


def write_vector(path, v):
    with open(path, "w") as f:
        f.write(f"{v.size}\n")
        np.savetxt(f, v, fmt="%.17g")


def main():
    k, table, prefix = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    n = read_table(table)
    total = n.sum()
    r = np.asarray(n.sum(axis=1)).ravel() / total
    c = np.asarray(n.sum(axis=0)).ravel() / total
    rs = np.where(r > 0, 1 / np.sqrt(np.where(r > 0, r, 1)), 0)
    cs = np.where(c > 0, 1 / np.sqrt(np.where(c > 0, c, 1)), 0)
    b = sp.diags(rs) @ (n / total) @ sp.diags(cs)
    b = b.tocsr()
    u, v = np.sqrt(r), np.sqrt(c)

    def matvec(x):
        x = np.ravel(x)
        return b @ x - u * (v @ x)

    def rmatvec(y):
        y = np.ravel(y)
        return b.T @ y - v * (u @ y)

    op = LinearOperator(b.shape, matvec=matvec, rmatvec=rmatvec, dtype=float)
    U, s, Vt = svds(op, k=k, which="LM", random_state=0)
    order = np.argsort(-s)
    U, s, Vt = U[:, order], s[order], Vt[order]
    Z = np.where(r[:, None] > 0, U * s * rs[:, None], 0)
    W = np.where(c[:, None] > 0, Vt.T * s * cs[:, None], 0)
    write_matrix(prefix + "_Z.txt", Z)
    write_matrix(prefix + "_W.txt", W)
    write_vector(prefix + "_P.txt", r)
    write_vector(prefix + "_Q.txt", c)
    write_vector(prefix + "_Lambda.txt", s * s)


if __name__ == "__main__":
    main()
