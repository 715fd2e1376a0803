#!/usr/bin/env bash
# Renders the committed PNG sizes of the icon from tavolen.svg (needs rsvg-convert, Debian
# package librsvg2-bin) and the Windows icon file. Run after changing the SVG, then commit them.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tavolen.svg -o "tavolen-$size.png"
done
cp tavolen-64.png ../../help/images/tavolen.png
# The Windows program's icon file (ImageMagick), bound into Tavolen.exe by tavolen.rc.
convert tavolen-16.png tavolen-24.png tavolen-32.png tavolen-48.png tavolen-64.png \
  tavolen-256.png tavolen.ico
