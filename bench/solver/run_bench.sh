#!/bin/sh
# Times ca.exe against its two peers, side by side in one run, on generated
# topic-structured sparse tables (1,000 x 5,000 and 5,000 x 20,000, about 2 %
# non-zeros), K = 10, each run including the reading of the text table:
#   - R's ca package (Debian r-cran-ca): ca::ca(x, nd = 10)
#   - ca_svds.py: scipy ARPACK svds on the implicit residual operator
# and checks the results against each other and against dense references
# (LAPACK SVD of the dense residual matrix, and ca.exe -k 0).
#
#   run_bench.sh BIN_DIR WORK_DIR [--r-large] [--dense-large]
#
# BIN_DIR holds ca.exe and ca-gentable; WORK_DIR receives the tables (about
# 220 MB) and the results. R on the large table takes more than ten minutes:
# it runs (with a ten-minute limit) only with --r-large. ca.exe -k 0 on the
# large table (a dense 5,000 x 5,000 eigenproblem) runs only with --dense-large.
set -e
BIN=$(cd "$1" && pwd)
mkdir -p "$2"
WORK=$(cd "$2" && pwd)
shift 2
R_LARGE=0
DENSE_LARGE=0
for a in "$@"; do
  case "$a" in
    --r-large) R_LARGE=1 ;;
    --dense-large) DENSE_LARGE=1 ;;
  esac
done
HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3
cd "$WORK"

[ -f t1k.txt ] || "$BIN/ca-gentable" 1000 5000 t1k.txt
[ -f t5k.txt ] || "$BIN/ca-gentable" 5000 20000 t5k.txt

# measure LABEL COMMAND...: one line "LABEL wall_s cpu_s peak_MB status".
measure() {
  label=$1
  shift
  status=ok
  /usr/bin/time -f "%e %U %S %M" -o time.txt "$@" > "$label.log" 2>&1 || status="failed($?)"
  awk -v l="$label" -v s="$status" '{printf "%-22s wall %8.2f s  cpu %8.2f s  peak %7.1f MB  %s\n", l, $1, $2 + $3, $4 / 1024, s}' time.txt
}

keep() { for s in Z W P Q Lambda; do [ -f "$1_$s.txt" ] && mv "$1_$s.txt" "$2_$s.txt"; done; true; }

echo "== 1000 x 5000, K = 10"
measure ca_1k "$BIN/ca.exe" -k 10 t1k.txt t1k.txt; keep t1k.txt ca_1k
measure scipy_1k $PY "$HERE/ca_svds.py" 10 t1k.txt py_1k
measure R_1k Rscript "$HERE/ca_r.R" 10 t1k.txt r_1k
measure ca_1k_k0 "$BIN/ca.exe" -k 0 t1k.txt t1k.txt; keep t1k.txt ca_1k_k0
measure lapack_1k $PY "$HERE/dense_ref.py" 10 t1k.txt dense_1k

echo "== 5000 x 20000, K = 10"
measure ca_5k "$BIN/ca.exe" -k 10 t5k.txt t5k.txt; keep t5k.txt ca_5k
measure scipy_5k $PY "$HERE/ca_svds.py" 10 t5k.txt py_5k
if [ $R_LARGE = 1 ]; then
  measure R_5k timeout 600 Rscript "$HERE/ca_r.R" 10 t5k.txt r_5k
fi
if [ $DENSE_LARGE = 1 ]; then
  measure ca_5k_k0 "$BIN/ca.exe" -k 0 t5k.txt t5k.txt; keep t5k.txt ca_5k_k0
fi

echo "== agreement (largest relative differences; coordinates up to the axis sign)"
cmp() { printf "%-26s " "$1 vs $2:"; $PY "$HERE/compare.py" "$1" "$2" 10; }
cmp ca_1k dense_1k
cmp ca_1k_k0 dense_1k
cmp py_1k dense_1k
cmp r_1k dense_1k
cmp ca_5k py_5k
[ $DENSE_LARGE = 1 ] && cmp ca_5k ca_5k_k0
[ $R_LARGE = 1 ] && [ -f r_5k_Lambda.txt ] && cmp ca_5k r_5k
true
