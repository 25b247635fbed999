#!/bin/sh
# Regenerates the PNG icons from the SVG artwork (needs rsvg-convert from librsvg2-bin; the
# build itself only reads the PNG files).
set -e
cd "$(dirname "$0")"
python3 make_icons.py
for f in *.svg; do
    n=${f%.svg}
    case $n in
    vexora | update)
        for s in 16 24 32 48 64 128 256; do rsvg-convert -w $s -h $s "$f" -o "../${n}_${s}.png"; done ;;
    settings) rsvg-convert -w 32 -h 32 "$f" -o "../$n.png" ;; # twice its size: sharp at 200 %
    *) rsvg-convert "$f" -o "../$n.png" ;;
    esac
done
