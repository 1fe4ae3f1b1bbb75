#!/usr/bin/env bash
# Shrinking a full-HD frame to the contact sheet's tile (1920x1080 -> 889x500, Lanczos3):
# ResampleBitmap against Pillow's Image.resize(..., Image.LANCZOS) on the same picture, both in
# megapixels of source per second, measured one after the other in this run. ResampleBitmap
# spreads its rows over the cores (multi-threaded); Pillow's resize runs on one thread.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${MX_BUILD:-$here/../build}
work=${MX_BENCH_WORK:-$build/bench-work}
seconds=${MX_BENCH_SECONDS:-3}
mkdir -p "$work"
picture=$work/resample_1920x1080.bmp

ours=$("$build/bench/resample_bench" "$picture" "$seconds")
# Debian's Pillow lives with the system interpreter, whatever python3 comes first on PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
peer=$("$python" "$here/resample_pillow.py" "$picture" "$seconds")
ratio=$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')
echo "ResampleBitmap  1920x1080 -> 889x500 Lanczos3: $ours MP/s (multi-threaded, $(nproc) cores)"
echo "Pillow LANCZOS  1920x1080 -> 889x500:          $peer MP/s (single-threaded)"
echo "ratio: $ratio (target >= 1.5)"
