#!/bin/sh
# Strong scaling of the indexer from one to two processes on this machine,
# side by side in one run: ortelis-index --jobs 1 against ortelis-index-mpi
# --jobs 1 under mpirun -np 1 and -np 2, on the same images and options.
# Prints wall time, the busiest process's processor time and peak memory,
# the bytes the first process handed to collective operations (samples,
# k-means rounds, word lists), the bytes one k-means round reduces, and the
# load of the machine (uptime) beside the figures; checks that the indexes
# are the same file for file (index.log, with the timings, aside).
#
#   index_mpi_scaling.sh BIN_DIR WORK_DIR [IMAGE_FOLDER] [WORDS]
#
# Without IMAGE_FOLDER the demo collection (300 images) is drawn in WORK_DIR.
set -e
BIN=$(cd "$1" && pwd)
mkdir -p "$2"
WORK=$(cd "$2" && pwd)
IMAGES=${3:-}
WORDS=${4:-200}
cd "$WORK"
if [ -z "$IMAGES" ]; then
  [ -d demo/images ] || "$BIN/ortelis-demo" demo > /dev/null
  IMAGES=$WORK/demo/images
fi
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1
export OMPI_MCA_btl=self,vader OMPI_MCA_btl_vader_single_copy_mechanism=none ORTELIS_MPI_STATS=1
export OMPI_MCA_mpi_yield_when_idle=1
MPIRUN="mpirun --oversubscribe --allow-run-as-root --bind-to none"
OPTS="--words $WORDS --jobs 1 --quiet"
echo "== $(find "$IMAGES" -type f | wc -l) files in $IMAGES, $WORDS words; $(nproc) cores"

run() {
  label=$1
  shift
  rm -rf "out_$label"
  printf '%-10s %s\n' "$label" "$(uptime | sed 's/.*load/load/')"
  /usr/bin/time -f "%e %M %U %S" -o time.txt "$@" $OPTS "$IMAGES" "out_$label" > "$label.log" 2>&1 || { cat "$label.log"; exit 1; }
  sed 's/^/    /' "$label.log"
  awk -v l="$label" '{printf "    %s: wall %.2f s, processor %.2f s (all processes), peak %.1f MB (largest process)\n", l, $1, $3 + $4, $2 / 1024}' time.txt
}

for round in 1 2; do
  echo "-- round $round"
  run index "$BIN/ortelis-index"
  run mpi_np1 $MPIRUN -np 1 "$BIN/ortelis-index-mpi"
  run mpi_np2 $MPIRUN -np 2 "$BIN/ortelis-index-mpi"
  for l in mpi_np1 mpi_np2; do
    if diff -r -x index.log out_index "out_$l" > /dev/null; then echo "    out_$l: the same files as out_index"
    else echo "    out_$l: DIFFERS from out_index"; fi
  done
done
