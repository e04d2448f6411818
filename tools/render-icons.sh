#!/bin/sh
# Renders the program's icon at the sizes desktops still ask for as PNG,
# from packaging/icons/kestrix-updater.svg; run it after changing the SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -eu
icons=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$icons/kestrix-updater.svg" \
        -o "$icons/kestrix-updater-$size.png"
done
