#!/usr/bin/env bash
# Builds a categorised collection of real clip art from Debian's
# openclipart-png, the same on every machine:
#
#   bench/collections/make_openclipart.sh [--validation] [DEST] [PER_CATEGORY]
#
# DEST (default build/collections/openclipart) receives nine folders, one per
# category, each holding copies of the chosen PNGs. PER_CATEGORY (default
# 450) caps every category; a smaller cap (say 100) gives a subsample for
# quick comparisons. Where a category has more files than the cap, files are
# taken evenly spaced through the sorted list, so the subsample spreads over
# the category's sub-folders instead of taking its first one only.
#
# The package has no folder for every category name; the nearest ones are
# used (letters: office and education, i.e. mail, paper and writing things;
# signs: every sign and symbol that is not a flag, plus road signs; textures:
# patterns and gradients). The package's own symbolic links are followed, so
# an image filed under two categories is copied into both, as a user's own
# collection would hold it.
#
# --validation builds a second collection from nine other categories (default
# DEST build/collections/openclipart-validation, about 1,600 files): a change
# of the indexer's defaults that helps on the first collection only is tuned
# to it, and shows here.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SET=main
if [ "${1:-}" = --validation ]; then
  SET=validation
  shift
fi
DEST=${1:-$ROOT/build/collections/openclipart$([ $SET = main ] || echo -validation)}
CAP=${2:-450}
SRC=/usr/share/openclipart/png

if [ ! -d "$SRC" ]; then
  echo "Installing openclipart-png..."
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends openclipart-png
fi

# category | source folders (relative to $SRC) | paths left out (find -path)
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
# None of these folders is one of the above.
VALIDATION=(
  "buildings|buildings|"
  "geography|geography|"
  "hardware|computer/hardware computer/buttons electronics|"
  "music|recreation/music|"
  "people|people|"
  "plants|plants|"
  "shapes|shapes/arrows shapes/callouts shapes/flowchart shapes/jigsaw|"
  "tools|tools|"
  "transport|transportation|*/roadsigns/*"
)
[ $SET = main ] || CATEGORIES=("${VALIDATION[@]}")

export LC_ALL=C
rm -rf "$DEST.tmp"
mkdir -p "$DEST.tmp"
total=0
for entry in "${CATEGORIES[@]}"; do
  IFS='|' read -r name folders skip <<<"$entry"
  list=$(cd "$SRC" && for f in $folders; do
           if [ -n "$skip" ]; then find -L "$f" -type f -name '*.png' -not -path "$skip"
           else find -L "$f" -type f -name '*.png'; fi
         done | sort -u)
  n=$(printf '%s\n' "$list" | grep -c . || true)
  chosen=$(printf '%s\n' "$list" | awk -v n="$n" -v cap="$CAP" '
    BEGIN { if (n <= cap) cap = n; next_i = 0; k = 0 }
    { i = NR - 1; if (k < cap && i == int(k * n / cap)) { print; k++ } }')
  mkdir -p "$DEST.tmp/$name"
  count=0
  while IFS= read -r rel; do
    [ -n "$rel" ] || continue
    # Sub-folders become part of the name, so no two files meet.
    flat=${rel//\//__}
    cp -L "$SRC/$rel" "$DEST.tmp/$name/$flat"
    count=$((count + 1))
  done <<<"$chosen"
  printf '%-15s %4d of %4d  (%s)\n' "$name" "$count" "$n" "$folders"
  total=$((total + count))
done
rm -rf "$DEST"
mv "$DEST.tmp" "$DEST"
echo "$total images in $DEST"
