#!/usr/bin/env bash
# Renders the committed PNG sizes of the icon from tavolen.svg (needs rsvg-convert, Debian
# package librsvg2-bin). Run after changing the SVG, then commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tavolen.svg -o "tavolen-$size.png"
done
cp tavolen-64.png ../../help/images/tavolen.png
