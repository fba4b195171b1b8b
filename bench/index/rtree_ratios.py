#!/usr/bin/env python3
"""Ratios from one bench_rtree run.

    bench_rtree --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \\
        --benchmark_out=rtree.json --benchmark_out_format=json
    rtree_ratios.py rtree.json

Build and hover are timed beside their references inside each iteration
(counters build/nth and scan/tree); this takes the median over repetitions.
"""
import json
import sys
from collections import defaultdict

KINDS = {0: "uniform", 1: "clustered", 2: "row"}
SIZES = (10000, 100000, 1000000)


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = defaultdict(list)
    for b in data["benchmarks"]:
        if b.get("run_type") != "aggregate":
            runs[b.get("run_name", b["name"])].append(b)
    return runs


def median(runs, name, field):
    values = sorted(r[field] for r in runs.get(name, []))
    return values[len(values) // 2] if values else None


def main():
    runs = load(sys.argv[1])

    print("full refill against one nth_element pass per tree level")
    for kind, label in KINDS.items():
        for n in SIZES:
            name = f"BM_Build/kind:{kind}/n:{n}"
            if name not in runs:
                continue
            c = runs[name][0]
            print(f"  {label:9} {n:>8}: {median(runs, name, 'build_ms'):9.3f} ms"
                  f" / {median(runs, name, 'nth_ms'):9.3f} ms = {median(runs, name, 'build/nth'):5.2f}x"
                  f"   height {c['height']:.0f}, max leaf {c['maxLeaf']:.0f},"
                  f" mean leaf {c['meanLeaf']:.1f}, duplicates {100 * c['dupShare']:.1f} %")

    print("hover step (r 20 + r 2): tree against scan")
    for kind, label in KINDS.items():
        tree = {}
        for n in SIZES:
            name = f"BM_Hover/kind:{kind}/n:{n}"
            if name not in runs:
                continue
            tree[n] = median(runs, name, "tree_us")
            print(f"  {label:9} {n:>8}: tree {tree[n]:9.2f} us, scan {median(runs, name, 'scan_us'):9.2f} us,"
                  f" scan/tree {median(runs, name, 'scan/tree'):7.1f}x,"
                  f" {median(runs, name, 'reported'):8.1f} ids reported")
        if 10000 in tree and 1000000 in tree:
            print(f"  {label:9} 1M / 10k: {tree[1000000] / tree[10000]:6.1f}x")

    print("single queries, 1M against 10k")
    for kind in (0, 1):
        for r in (2, 20):
            small = f"BM_QueryTree/kind:{kind}/n:10000/r:{r}"
            large = f"BM_QueryTree/kind:{kind}/n:1000000/r:{r}"
            if small in runs and large in runs:
                ts, tl = median(runs, small, "cpu_time"), median(runs, large, "cpu_time")
                print(f"  {KINDS[kind]:9} r {r:2}: {ts:8.2f} us -> {tl:8.2f} us = {tl / ts:6.1f}x"
                      f"   ({median(runs, small, 'reported'):.1f} -> {median(runs, large, 'reported'):.1f} ids reported)")


if __name__ == "__main__":
    main()
