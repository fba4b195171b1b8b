#!/usr/bin/env bash
# Picks a batch of clip art from Debian's openclipart-png that is not in a
# collection made by make_openclipart.sh, for adding to that collection's
# index as supplementary images (ortelis-index --add-to):
#
#   bench/collections/make_addto_batch.sh COLLECTION DEST [COUNT]
#
# COLLECTION is the folder make_openclipart.sh made; DEST (replaced)
# receives COUNT (default 300) PNGs in folders named after the same nine
# categories, so that the index's own category numbers and colours apply.
# An image is new when no file of the collection has the same content
# (SHA-256), and each content is taken once. Categories take turns, each
# from its files evenly spaced through the sorted list, so the batch is the
# same on every machine and spreads over the sub-folders.
set -euo pipefail
COLLECTION=${1:?usage: make_addto_batch.sh COLLECTION DEST [COUNT]}
DEST=${2:?usage: make_addto_batch.sh COLLECTION DEST [COUNT]}
COUNT=${3:-300}
SRC=/usr/share/openclipart/png
[ -d "$SRC" ] || { echo "install openclipart-png first (make_openclipart.sh does)" >&2; exit 1; }

# The categories of make_openclipart.sh: name | source folders | left out.
CATEGORIES=(
  "animals|animals|"
  "computer_icons|computer/icons|"
  "flags|signs_and_symbols/flags|"
  "food|food|"
  "games|recreation/games computer/games|"
  "letters|office education|"
  "signs|signs_and_symbols transportation/roadsigns|*/flags/*"
  "stars|shapes/stars|"
  "textures|special/patterns special/gradients|"
)

export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
find "$COLLECTION" -type f -name '*.png' -print0 | xargs -0 sha256sum | cut -c1-64 | sort -u > "$work/known"

# Per category, its new files (first of each content), in sorted order.
n=${#CATEGORIES[@]}
for k in "${!CATEGORIES[@]}"; do
  IFS='|' read -r name folders skip <<<"${CATEGORIES[$k]}"
  (cd "$SRC" && for f in $folders; do
     if [ -n "$skip" ]; then find -L "$f" -type f -name '*.png' -not -path "$skip"
     else find -L "$f" -type f -name '*.png'; fi
   done | sort -u) > "$work/list.$k"
  : > "$work/new.$k"
  while IFS= read -r rel; do
    sum=$(sha256sum "$SRC/$rel" | cut -c1-64)
    if ! grep -qx "$sum" "$work/known"; then
      echo "$sum" >> "$work/known" # taken once, whatever category meets it first
      echo "$rel" >> "$work/new.$k"
    fi
  done < "$work/list.$k"
done

# Shares: COUNT split over the categories, the first ones taking the
# remainder, each capped by what it has; what a small one cannot take goes
# to the next with more.
declare -a share avail
left=$COUNT
for k in $(seq 0 $((n - 1))); do avail[$k]=$(wc -l < "$work/new.$k"); share[$k]=0; done
while [ "$left" -gt 0 ]; do
  given=0
  for k in $(seq 0 $((n - 1))); do
    if [ "$left" -gt 0 ] && [ "${share[$k]}" -lt "${avail[$k]}" ]; then
      share[$k]=$((share[$k] + 1)); left=$((left - 1)); given=1
    fi
  done
  [ "$given" -eq 1 ] || { echo "only $((COUNT - left)) new images in the package" >&2; break; }
done

rm -rf "$DEST.tmp"
mkdir -p "$DEST.tmp"
total=0
for k in $(seq 0 $((n - 1))); do
  IFS='|' read -r name folders skip <<<"${CATEGORIES[$k]}"
  mkdir -p "$DEST.tmp/$name"
  awk -v n="${avail[$k]}" -v cap="${share[$k]}" '
    BEGIN { k = 0 }
    { i = NR - 1; if (k < cap && i == int(k * n / cap)) { print; k++ } }' "$work/new.$k" |
  while IFS= read -r rel; do
    cp -L "$SRC/$rel" "$DEST.tmp/$name/${rel//\//__}"
  done
  got=$(ls "$DEST.tmp/$name" | wc -l)
  printf '%-15s %4d of %4d new\n' "$name" "$got" "${avail[$k]}"
  total=$((total + got))
done
rm -rf "$DEST"
mv "$DEST.tmp" "$DEST"
echo "$total images in $DEST"
