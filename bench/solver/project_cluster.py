#!/usr/bin/python3
"""A projection (not a measurement) of ca-mpi on a cluster, from the figures
mpi_scaling.sh measured with one process on this machine:

    project_cluster.py MPI_NP1_LOG TABLE_BYTES [RANKS ROWS COLS NZ_PER_ROW]

Defaults: 64 processes, a 10,000,000 x 50,000 table with 300 non-zeros per
row (3e9 non-zeros). Assumed: the same number of Lanczos operator
applications as measured (the count grows slowly with the table for a few
well-separated leading axes), the table text written as this project writes
it (about two bytes per zero cell), a 10 Gb/s network with 5 us latency and
a ring all-reduce, and processes that get a core each.
"""
import math
import re
import sys


def main():
    log = open(sys.argv[1]).read()
    table_bytes = float(sys.argv[2])
    ranks = int(sys.argv[3]) if len(sys.argv) > 3 else 64
    rows = float(sys.argv[4]) if len(sys.argv) > 4 else 10e6
    cols = float(sys.argv[5]) if len(sys.argv) > 5 else 50e3
    nz_row = float(sys.argv[6]) if len(sys.argv) > 6 else 300

    m = re.search(r"(\d+) x (\d+) table, ([\d.]+) % non-zero", log)
    mrows, mcols, pct = float(m.group(1)), float(m.group(2)), float(m.group(3))
    mnz = mrows * mcols * pct / 100
    m = re.search(r"sent (\d+) bytes in (\d+) collective operations; processor time of the busiest: "
                  r"read ([\d.]+) s, solve ([\d.]+) s", log)
    ops, read_cpu, solve_cpu = float(m.group(2)), float(m.group(3)), float(m.group(4))

    nz = rows * nz_row
    nz_rank = nz / ranks
    text = rows * cols * 2.0
    text_rank = text / ranks
    read_rank = read_cpu / table_bytes * text_rank
    op_compute = solve_cpu / ops / mnz * nz_rank
    payload = (cols + 1) * 8
    bandwidth, latency = 1.25e9, 5e-6
    op_comm = 2 * (ranks - 1) / ranks * payload / bandwidth + 2 * math.log2(ranks) * latency
    solve = ops * (op_compute + op_comm)
    ncv = 30
    memory = 12 * nz_rank + 4 * rows / ranks + 8 * cols * (ncv + 4) + 8 * rows / ranks * 10 + 8 * rows / ranks

    print("PROJECTION (not measured): %d processes, %.0f x %.0f table, %.2g non-zeros" % (ranks, rows, cols, nz))
    print("  from this machine, one process: %.3g s per non-zero and operator application, "
          "%.3g s per byte of table text, %d operator applications" % (solve_cpu / ops / mnz, read_cpu / table_bytes, ops))
    print("  per process: %.3g non-zeros, memory about %.0f MB" % (nz_rank, memory / 2**20))
    print("  reading: %.0f GB of text in all, %.1f GB per process, about %.0f s if the shared file system "
          "delivers %.1f GB/s in all" % (text / 1e9, text_rank / 1e9, read_rank, text / read_rank / 1e9))
    print("  per Lanczos operator application: %.0f kB all-reduced per process, %.2f ms of network, "
          "%.3f s of computing" % (payload / 1e3, op_comm * 1e3, op_compute))
    print("  solving: about %.0f s (%.1f %% of it waiting on the network)" % (solve, 100 * ops * op_comm / solve))


if __name__ == "__main__":
    main()
