#!/usr/bin/env bash
# One contact sheet of the 60 s 1080p clip: the console tool in Matrix mode (a job list file
# with the Matrix options; nine frames at i * 60 / 10 s, tiles shrunk to 889x500) against the
# ffmpeg CLI making a 3x3 tile of the same nine frames (select, scale, tile). Each figure is
# the median wall time of three runs. Multi-threaded figures on both sides: decoder frame
# threads, and mx_cons shrinks the tiles on several threads. Needs MX_BENCH_WORK and MX_BUILD
# (bench/run.sh sets both).
set -euo pipefail
source "$(dirname "$0")/common.sh"
work="$MX_BENCH_WORK/sheet"
mkdir -p "$work"

clip=$hd_clip
mx_make_hd "$clip"

# A job list file: the clip, then the 19 option lines (Matrix, Proportional, Auto Width, JPEG
# at quality 75, output into the folder given).
job_list() {
    mx_job_list "$clip" "$1" count=9 start=1 every=5 file=FALSE matrix=TRUE number=FALSE
}

ours_name=mx_cons
ours() {
    job_list "$1" >"$1/sheet.mxl"
    "$cons" "$1/sheet.mxl" >"$1/log.txt" 2>&1
}

# Frames 150, 300, ..., 1350 are the pictures at 6, 12, ..., 54 s of the 25 fps clip.
ffmpeg_sheet() {
    local expr
    expr=$(python3 -c "print('+'.join(f'eq(n\\\\,{i * 150})' for i in range(1, 10)))")
    ffmpeg -hide_banner -loglevel error -y -i "$clip" \
        -vf "select=$expr,scale=889:500:flags=lanczos,tile=3x3" -frames:v 1 -q:v 4 \
        "$1/ffmpeg_sheet.jpg"
}

# shellcheck source=timing.sh
source "$(dirname "$0")/timing.sh"

probe=$(mktemp -d "$work/probe.XXXXXX")
if ! ours "$probe" || [ ! -s "$probe/testsrc2_1080p_60s.jpg" ]; then
    echo "mx_cons made no contact sheet from the job list file; see $probe/log.txt" >&2
    exit 1
fi
rm -rf "$probe"

echo "threads: multi-threaded figures, $(nproc) cores"
echo "-- $(basename "$clip"), one 3x3 contact sheet"
ours_s=$(median3 ours)
ffmpeg_s=$(median3 ffmpeg_sheet)
python3 -c "print(f'$ours_name {$ours_s:.3f} s   ffmpeg CLI {$ffmpeg_s:.3f} s   ratio {$ours_s / $ffmpeg_s:.2f}')"
