#!/bin/sh
# The indexer and the viewer's command line against inputs a test cannot
# hold, timed side by side in one run with the load of the machine:
#
#   1. two --add-to runs on one project under an address-space limit
#      (prlimit --as), as a batch system or `ulimit -v` sets one: a reader
#      that reserves a buffer of its limit's size up front fails here;
#   2. a vocabulary padded to 2 GB after a valid header, and a 2 GB list
#      given as IMAGE_FOLDER: refused from their headers and first lines,
#      not read whole;
#   3. two sparse all-zero files of 100 GB named *.png beside one image:
#      refused before any copy is looked for (hashing them took 698 s).
#
#   hostile_inputs.sh BIN_DIR WORK_DIR [AS_LIMIT_BYTES]
#
# Prints for each case the exit status, wall time and peak resident memory
# (/usr/bin/time), and the first line of what the program said.
set -e
BIN=$(cd "$1" && pwd)
mkdir -p "$2"
WORK=$(cd "$2" && pwd)
LIMIT=${3:-2000000000}
cd "$WORK"
echo "== $(nproc) cores; $(uptime | sed 's/.*load/load/')"

measure() {
  label=$1
  shift
  status=0
  /usr/bin/time -f "%e %M" -o time.txt "$@" > out.log 2>&1 || status=$?
  tail -n 1 time.txt | awk -v l="$label" -v s="$status" '{printf "%-44s status %d, wall %6.2f s, peak %7.1f MB\n", l, s, $1, $2 / 1024}'
  grep -v '^Looking\|^Describing\|^\s*$' out.log | head -n 1 | cut -c1-160 | sed 's/^/    /'
}

# A solved project of the demo collection, and a few images to add.
if [ ! -f demo/project.xml ]; then
  "$BIN/ortelis-demo" demo > /dev/null
fi
if [ ! -f solved/project.xml ]; then
  "$BIN/ortelis-index" --words 100 --quiet --solve --solver "$BIN/ca.exe" demo/images solved > /dev/null
fi
mkdir -p add1 add2
ls demo/images/*/* | head -n 3 | while read -r f; do cp "$f" "add1/$(basename "$f" .png)-copy1.png"; done
ls demo/images/*/* | tail -n 3 | while read -r f; do cp "$f" "add2/$(basename "$f" .png)-copy2.png"; done
rm -rf project && cp -r solved project

echo "== 1. two additions under prlimit --as=$LIMIT"
measure "--add-to, first" prlimit --as="$LIMIT" "$BIN/ortelis-index" --add-to project/project.xml --quiet add1
measure "--add-to, second" prlimit --as="$LIMIT" "$BIN/ortelis-index" --add-to project/project.xml --quiet add2

echo "== 2. files of 2 GB where the index has a few lines"
rm -rf padded && cp -r solved padded
truncate -s 2G padded/vocabulary.txt
measure "vocabulary padded to 2 GB" "$BIN/ortelis-index" --add-to padded/project.xml --quiet add1
head -c 2147483648 /dev/zero | tr '\0' 'x' > huge-list.txt
measure "a 2 GB one-line list as IMAGE_FOLDER" "$BIN/ortelis-index" --words 10 --quiet huge-list.txt huge-out
rm -f huge-list.txt

echo "== 3. two sparse 100 GB files of zeros named *.png"
rm -rf sparse sparse-out && mkdir -p sparse/1
cp "$(ls demo/images/*/* | head -n 1)" sparse/1/
cp "$(ls demo/images/*/* | sed -n 2p)" sparse/1/
truncate -s 100G sparse/1/zeros-a.png sparse/1/zeros-b.png
measure "index beside two 100 GB files of zeros" "$BIN/ortelis-index" --words 10 --quiet sparse sparse-out
grep -c 'zeros-' sparse-out/skipped.txt 2>/dev/null | sed 's/^/    listed in skipped.txt: /' || true
rm -rf sparse
echo "== $(uptime | sed 's/.*load/load/')"
