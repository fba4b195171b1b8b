#!/bin/sh
# Strong scaling of the solver from one to two processes on this machine,
# side by side in one run, on a generated topic-structured table:
#   ca.exe -k 10, ca-mpi -k 10 under mpirun -np 1 and -np 2
# Prints wall time, the largest peak memory of a process, the bytes one
# process hands to the collective operations while solving, the processor
# time of the busiest process per phase, and the load of the machine
# (uptime) beside the figures. On a machine shared with other work the
# processes wait for a core most of the time, so wall time says little about
# scaling; the busiest process's processor time is the work on the critical
# path. Idle processes yield the core (mpi_yield_when_idle) rather than
# poll, since there are more processes than free cores here.
#
#   mpi_scaling.sh BIN_DIR WORK_DIR [ROWS COLS DENSITY]
#
# Ends with a projection to 64 processes on a 10M x 50k table
# (project_cluster.py), from the one-process figures.
#
# Defaults: 40,000 x 3,000 at 3 % non-zeros (about 3.6 M non-zeros, a text
# of about 250 MB in WORK_DIR).
set -e
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=$(cd "$1" && pwd)
mkdir -p "$2"
WORK=$(cd "$2" && pwd)
ROWS=${3:-40000}
COLS=${4:-3000}
DENSITY=${5:-0.03}
K=10
cd "$WORK"
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1
export OMPI_MCA_btl=self,vader OMPI_MCA_btl_vader_single_copy_mechanism=none ORTELIS_MPI_STATS=1
export OMPI_MCA_mpi_yield_when_idle=1
MPIRUN="mpirun --oversubscribe --allow-run-as-root --bind-to none"

T=t_${ROWS}x${COLS}.txt
[ -f "$T" ] || "$BIN/ca-gentable" "$ROWS" "$COLS" "$T" "$DENSITY"
echo "== $ROWS x $COLS, density $DENSITY, K = $K, $(du -m "$T" | cut -f1) MB of text; $(nproc) cores"
cat "$T" > /dev/null # in the page cache for every run alike

# run LABEL COMMAND...: the tool's own summary lines, then wall time and the
# peak memory of the whole command (for ca.exe: of the process).
run() {
  label=$1
  shift
  cp "$T" "$label.txt"
  printf '%-10s %s\n' "$label" "$(uptime | sed 's/.*load/load/')"
  /usr/bin/time -f "%e %M %U %S" -o time.txt "$@" "$label.txt" "$label.txt" > "$label.log" 2>&1 || { cat "$label.log"; exit 1; }
  sed 's/^/    /' "$label.log"
  awk -v l="$label" '{printf "    %s: wall %.2f s, processor %.2f s (all processes), peak %.1f MB (largest process)\n", l, $1, $3 + $4, $2 / 1024}' time.txt
  rm -f "$label.txt"
}

for round in 1 2; do
  echo "-- round $round"
  run ca_exe "$BIN/ca.exe" -k $K
  run mpi_np1 $MPIRUN -np 1 "$BIN/ca-mpi" -k $K
  run mpi_np2 $MPIRUN -np 2 "$BIN/ca-mpi" -k $K
done
for l in ca_exe mpi_np1 mpi_np2; do
  for s in Z W P Q Lambda; do rm -f "$l.txt_$s.txt"; done
done
echo "-- $(uptime | sed 's/.*load/load/')"
/usr/bin/python3 "$HERE/project_cluster.py" mpi_np1.log "$(stat -c %s "$T")"
