#!/bin/sh
# Renders the program's PNG icons from its SVG (needs rsvg-convert, Debian librsvg2-bin).
set -e
cd "$(dirname "$0")/../res/desktop"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" vexel-helper.svg -o "icons/vexel-helper-$size.png"
done
