#!/bin/sh
# Renders the program's icon at the sizes desktops still ask for as PNG, and
# the Windows icon holding the sizes Windows shows, from
# packaging/icons/kestrix-updater.svg; run it after changing the SVG.
# Needs rsvg-convert and icotool (Debian packages librsvg2-bin, icoutils).
set -eu
icons=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$icons/kestrix-updater.svg" \
        -o "$icons/kestrix-updater-$size.png"
done
# The largest size goes in as PNG, as Windows stores it.
icotool --create --output="$icons/kestrix-updater.ico" \
    "$icons/kestrix-updater-16.png" "$icons/kestrix-updater-24.png" \
    "$icons/kestrix-updater-32.png" "$icons/kestrix-updater-48.png" \
    "$icons/kestrix-updater-64.png" "$icons/kestrix-updater-128.png" \
    --raw="$icons/kestrix-updater-256.png"
