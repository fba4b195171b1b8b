#!/bin/sh
# Builds a contact sheet of the rendered PNGs for a visual check: each image
# at 1x and at 4x (nearest-neighbour, so single pixels stay visible), on
# white, mid-gray and dark backgrounds. Usage: contact_sheet.sh OUT.png
# Needs ImageMagick's montage and convert (Debian package imagemagick).
set -eu
out=${1:?usage: contact_sheet.sh OUT.png}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rows=""
for bg in white "#808080" "#303030"; do
  for zoom in 100 400; do
    row="$tmp/row$(printf '%s' "$bg$zoom" | tr -dc 'a-z0-9').png"
    montage ./*.png -filter point -resize "$zoom%" -background "$bg" \
      -geometry "+4+4" -tile x1 "$row"
    rows="$rows $row"
  done
done
# shellcheck disable=SC2086
/usr/bin/convert $rows -background "#c0c0c0" -gravity northwest -splice 0x6 -append +repage "$out"
echo "$out"
