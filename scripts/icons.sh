#!/usr/bin/env bash
# Renders packaging/icons/qvx-loopback.svg into the PNG sizes beside it (they
# are kept in the tree, so a build needs no SVG renderer). Needs rsvg-convert
# (Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" qvx-loopback.svg -o "qvx-loopback-$size.png"
done
echo "icons: wrote $(ls qvx-loopback-*.png | tr '\n' ' ')"
