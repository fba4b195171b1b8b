#!/usr/bin/env bash
# Indexes a categorised image folder, solves it, and reports what a user
# would ask of the run: images found and kept, time, peak memory, and how
# well the map groups the categories (neighbour category agreement).
#
#   bench/collections/index_report.sh COLLECTION OUTPUT [ortelis-index options...]
#
# e.g.  bench/collections/make_openclipart.sh
#       bench/collections/index_report.sh build/collections/openclipart /tmp/oc-index
#
# Options after OUTPUT go to ortelis-index unchanged (default options when
# there are none). The last line is one row for a comparison table. The
# machine's load (uptime) is printed beside the figures: timings taken while
# other work runs are only comparable within one run of this script.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=${ORTELIS_BIN_DIR:-$ROOT/build/bin}
[ $# -ge 2 ] || { sed -n '2,13p' "$0"; exit 2; }
COLLECTION=$1
OUTPUT=$2
shift 2
LABEL=${ORTELIS_LABEL:-${*:-default}}

for exe in ortelis-index ca.exe bench_agreement; do
  [ -x "$BIN/$exe" ] || { echo "missing $BIN/$exe: build it first" >&2; exit 1; }
done

LOG=$(mktemp)
trap 'rm -f "$LOG" "$LOG.time"' EXIT
load_before=$(uptime | sed 's/.*load average: //')
/usr/bin/time -v -o "$LOG.time" "$BIN/ortelis-index" "$@" "$COLLECTION" "$OUTPUT" >"$LOG" 2>&1 || {
  tail -20 "$LOG" >&2
  echo "ortelis-index failed" >&2
  exit 1
}
load_after=$(uptime | sed 's/.*load average: //')
summary=$(grep -m1 '^Indexed ' "$LOG" || true)
found=$(sed -n 's/^Indexed [0-9]* of \([0-9]*\) images.*/\1/p' <<<"$summary")
kept=$(sed -n 's/^Indexed \([0-9]*\) of .*/\1/p' <<<"$summary")
wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$LOG.time" |
       awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$LOG.time")
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$LOG.time")

"$BIN/ca.exe" -k 10 "$OUTPUT/table.txt" "$OUTPUT/table.txt" >/dev/null
agreement=$("$BIN/bench_agreement" "$OUTPUT" 10)
shares=""
[ -x "$BIN/bench_axis_shares" ] && shares=$("$BIN/bench_axis_shares" "$OUTPUT" || true)

echo "$summary"
[ -f "$OUTPUT/skipped.txt" ] && echo "skipped.txt: $(grep -c . "$OUTPUT/skipped.txt" || true) lines"
echo "$agreement"
[ -n "$shares" ] && echo "$shares"
echo "load average before: $load_before; after: $load_after"
a12=$(sed -n 's/.*axes 1-2 \([0-9.]*\),.*/\1/p' <<<"$agreement")
aall=$(sed -n 's/.*axes \([0-9.]*\), chance.*/\1/p' <<<"$agreement")
chance=$(sed -n 's/.*chance \([0-9.]*\).*/\1/p' <<<"$agreement")
awk -v l="$LABEL" -v f="$found" -v k="$kept" -v w="$wall" -v c="$cpu" -v m="$peak_kb" \
    -v a="$a12" -v b="$aall" -v ch="$chance" -v ld="${load_after%%,*}" 'BEGIN {
  printf "| %s | %s/%s | %.0f s | %.1f ms | %.0f MB | %s | %s | %s | %s |\n",
         l, k, f, w, (f > 0 ? 1000 * c / f : 0), m / 1024, a, b, ch, ld }'
