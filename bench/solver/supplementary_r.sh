#!/bin/sh
# Compares ca.exe's supplementary rows (--supplementary, TABLE_ZSup.txt) with
# R's ca package (Debian r-cran-ca, ca(x, suprow = ...)) on a generated
# table, and prints the largest differences.
#
#   supplementary_r.sh BIN_DIR WORK_DIR [ROWS SUPROWS COLS K]
#
# Defaults: 2,000 active rows, 300 supplementary rows, 500 columns, K = 10.
set -e
BIN=$(cd "$1" && pwd)
mkdir -p "$2"
WORK=$(cd "$2" && pwd)
ROWS=${3:-2000}
SUP=${4:-300}
COLS=${5:-500}
K=${6:-10}
HERE=$(cd "$(dirname "$0")" && pwd)
cd "$WORK"
Rscript "$HERE/supplementary_r.R" generate "$ROWS" "$SUP" "$COLS" 7 active.txt sup.txt
"$BIN/ca.exe" -k "$K" --supplementary sup.txt active.txt active.txt
Rscript "$HERE/supplementary_r.R" compare "$K" active.txt sup.txt
