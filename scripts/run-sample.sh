#!/usr/bin/env bash
# The main job on a built-in sample: makes a short test clip, extracts frames from it with the
# console tool and lists the files written.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh mx_cons
work=$(mktemp -d)
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=12" \
    -c:v libx264 -pix_fmt yuv420p "$work/sample.mp4"
echo "Sample clip: $work/sample.mp4"
build/cli/mx_cons "$work/sample.mp4" 5 jpg -o "$work"
echo
echo "Files written:"
ls -l "$work" | grep -v sample.mp4
