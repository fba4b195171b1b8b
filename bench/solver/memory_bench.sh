#!/bin/sh
# Peak memory of ca.exe per non-zero cell, on generated 2 % tables of 2 M
# and 15 M non-zeros (20,000 x 5,000 and 60,000 x 12,500; about 1.7 GB of
# text), K = 10, beside the fixed overhead (the peak on a 100 x 50 table)
# and the slope between the two sizes:
#
#   memory_bench.sh BIN_DIR WORK_DIR [OTHER_CA_EXE]
#
# With OTHER_CA_EXE (an earlier build), it is measured the same way, side by
# side in the same run. Peak = maximum resident set size (/usr/bin/time).
set -e
BIN=$(cd "$1" && pwd)
mkdir -p "$2"
WORK=$(cd "$2" && pwd)
OTHER=$3
cd "$WORK"
[ -f t100.txt ] || "$BIN/ca-gentable" 100 50 t100.txt 0.2
[ -f t2m.txt ] || "$BIN/ca-gentable" 20000 5000 t2m.txt 0.02
[ -f t15m.txt ] || "$BIN/ca-gentable" 60000 12500 t15m.txt 0.02

# peak CA_EXE TABLE: prints "non-zeros peak_bytes".
peak() {
  /usr/bin/time -f "%M" -o peak.txt "$1" -k 10 "$2" "$2" > run.log 2>&1
  nnz=$(awk 'NR == 1 {next} {for (i = 1; i <= NF; i++) if ($i != 0) n++} END {print n + 0}' "$2" 2>/dev/null)
  echo "$nnz $(($(cat peak.txt) * 1024))"
}

report() {
  label=$1
  exe=$2
  set -- $(peak "$exe" t100.txt)
  fixed=$2
  set -- $(peak "$exe" t2m.txt)
  n2=$1
  p2=$2
  set -- $(peak "$exe" t15m.txt)
  n15=$1
  p15=$2
  awk -v l="$label" -v f="$fixed" -v n2="$n2" -v p2="$p2" -v n15="$n15" -v p15="$p15" 'BEGIN {
    printf "%-10s fixed overhead %.1f MB\n", l, f / 1048576
    printf "%-10s 2 M non-zeros (%d):  peak %.1f MB = %.2f B/nnz (%.2f B/nnz above the fixed overhead)\n", l, n2, p2 / 1048576, p2 / n2, (p2 - f) / n2
    printf "%-10s 15 M non-zeros (%d): peak %.1f MB = %.2f B/nnz (%.2f B/nnz above the fixed overhead)\n", l, n15, p15 / 1048576, p15 / n15, (p15 - f) / n15
    printf "%-10s slope between the two: %.2f B/nnz\n", l, (p15 - p2) / (n15 - n2)
  }'
}

uptime
report ca.exe "$BIN/ca.exe"
[ -n "$OTHER" ] && report other "$OTHER"
true
