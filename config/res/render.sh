#!/bin/sh
# Renders the committed PNGs from the SVG sources (needs rsvg-convert from
# librsvg2-bin and the DejaVu fonts). Run after changing an SVG; commit the PNGs.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" morrowick.svg -o "morrowick-$size.png"
done
rsvg-convert -w 440 -h 56 -b '#174f8f' banner.svg -o banner.png
