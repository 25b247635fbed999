#!/bin/sh
# Regenerates the application icons' PNG sizes from their SVG artwork (needs rsvg-convert from
# librsvg2-bin; the build itself only reads the PNG files).
set -e
cd "$(dirname "$0")"
python3 make_icons.py
for n in vexora update; do
    for s in 16 24 32 48 64 128 256; do rsvg-convert -w $s -h $s "$n.svg" -o "../${n}_${s}.png"; done
done
