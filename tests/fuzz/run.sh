#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) in build-fuzz and
# runs each one for a given time from its seed corpus.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]     default: 60 s, every target
#   tests/fuzz/run.sh --build-only              only builds them
#
# Environment: ORTELIS_FUZZ_BUILD_DIR (default build-fuzz),
# ORTELIS_FUZZ_PARALLEL (targets run at once, default 1), ORTELIS_JOBS
# (build jobs), ORTELIS_FUZZ_NICE (nice level, default 0), ORTELIS_FUZZ_RUNS
# (stop a target after this many executions, default: only the time).
# New inputs that add coverage go to BUILD/fuzz-corpus/TARGET; a finding is
# saved in BUILD/fuzz-findings/TARGET (copy it into regressions/TARGET once
# it is mended). Exits non-zero when any target found something.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=${ORTELIS_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
JOBS=${ORTELIS_JOBS:-$(nproc)}
PARALLEL=${ORTELIS_FUZZ_PARALLEL:-1}
NICE=${ORTELIS_FUZZ_NICE:-0}
BUILD_ONLY=0
if [ "${1:-}" = "--build-only" ]; then
  BUILD_ONLY=1
  shift
fi
SECONDS_EACH=${1:-60}
shift || true
case $SECONDS_EACH in
  ''|*[!0-9]*|0) echo "usage: $0 [SECONDS>0] [TARGET...] | --build-only" >&2; exit 2 ;;
esac
ALL=(fuzz_numberscanner fuzz_cadata_read fuzz_project fuzz_keypoints fuzz_solver fuzz_extraction fuzz_imagefile
     fuzz_wordatlas fuzz_groups fuzz_indexoptions)
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=("${ALL[@]}")

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DORTELIS_FUZZ=ON \
  -DORTELIS_BUILD_TESTS=OFF -DORTELIS_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target "${TARGETS[@]}" -j "$JOBS"
[ $BUILD_ONLY -eq 1 ] && exit 0

# Inputs stay small, so any large allocation is one no input justifies.
OPTIONS=(-max_len=4096 -timeout=20 -malloc_limit_mb=256 -rss_limit_mb=2048 -print_final_stats=1)
[ -n "${ORTELIS_FUZZ_RUNS:-}" ] && OPTIONS+=(-runs="$ORTELIS_FUZZ_RUNS")
export QT_QPA_PLATFORM=offscreen
# Every input is written to a file before it is read (and the extraction
# writes its table): in memory when the machine has such a folder, so that
# the disk does not set the pace.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}

run_one() {
  local t=$1
  local corpus=$BUILD/fuzz-corpus/$t findings=$BUILD/fuzz-findings/$t log=$BUILD/fuzz-logs/$t.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  local status=0
  nice -n "$NICE" "$BUILD/bin/$t" "${OPTIONS[@]}" -max_total_time="$SECONDS_EACH" \
    -artifact_prefix="$findings/" "$corpus" "$ROOT/tests/fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ $status -eq 0 ]; then
    echo "$t: ${runs:-?} executions, no finding"
  else
    echo "$t: FINDING after ${runs:-?} executions (exit $status); see $log and $findings"
    grep -m3 -E 'ERROR:|runtime error|fuzz check failed|out-of-memory|timeout' "$log" || true
  fi
  return $status
}

failed=0
pids=()
for t in "${TARGETS[@]}"; do
  run_one "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$PARALLEL" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do
  wait "$p" || failed=1
done
exit $failed
