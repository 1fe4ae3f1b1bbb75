#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from its SVG (needs rsvg-convert, Debian
# librsvg2-bin). The PNGs are committed; run this after editing the SVG.
set -euo pipefail
cd "$(dirname "$0")/icons"
id=io.github.moxelby.frame_extractor
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$id.svg" -o "$id-$size.png"
done
