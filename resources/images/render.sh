#!/bin/sh
# Rasterizes every SVG source in this folder to the PNG of the same name.
# The PNGs are committed and compiled into the program as Qt resources, so a
# build never runs this; run it only after editing an SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
# The pixel size comes from each SVG's width and height, which match its
# viewBox, so every path coordinate is a pixel coordinate.
set -eu
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null 2>&1 || {
  echo "render.sh: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
  exit 1
}
for svg in *.svg; do
  png="${svg%.svg}.png"
  tmp="$png.tmp"
  if ! rsvg-convert --format=png --output="$tmp" "$svg"; then
    rm -f "$tmp"
    echo "render.sh: failed to render $svg" >&2
    exit 1
  fi
  mv "$tmp" "$png"
  echo "$png"
done
