#!/usr/bin/env bash
# "Start at" 0, one frame every second across the 60 s 1080p clip (60 JPEG frames) through the
# console tool with a job list, against the ffmpeg CLI taking the same 60 positions one process
# each and against one sequential ffmpeg pass writing a JPEG per second (-vf fps=1). Medians of
# three runs; ratios are ours / theirs. Multi-threaded figures throughout (decoder frame
# threads). Needs MX_BENCH_WORK and MX_BUILD (bench/run.sh sets both).
set -euo pipefail
source "$(dirname "$0")/common.sh"
work="$MX_BENCH_WORK/startat"
mkdir -p "$work"
clip=$hd_clip
mx_make_hd "$clip"

ours() {
    # The job list carries the options: Start at 0, every 1 s, JPEG 75, numbered names.
    mx_job_list "$clip" "$1" count=5 file=FALSE everysec=TRUE >"$1/jobs.mxl"
    "$cons" "$1/jobs.mxl" >"$work/mx_cons.log" 2>&1
}

ffmpeg_cli() {
    for t in $(seq 1 60); do
        ffmpeg -hide_banner -loglevel error -y -ss "$t" -i "$clip" -frames:v 1 "$1/ffmpeg_$t.jpg"
    done
}

sequential() {
    ffmpeg -hide_banner -loglevel error -y -i "$clip" -vf fps=1 -q:v 5 "$1/seq_%03d.jpg"
}

# shellcheck source=timing.sh
source "$(dirname "$0")/timing.sh"

echo "threads: multi-threaded figures, $(nproc) cores"
check=$(mktemp -d "$work/out.XXXXXX")
ours "$check"
echo "-- $(basename "$clip"), Start at 0 every 1 s ($(find "$check" -name '*.jpg' | wc -l) JPEG frames)"
rm -rf "$check"
ours_s=$(median3 ours)
cli_s=$(median3 ffmpeg_cli)
seq_s=$(median3 sequential)
python3 -c "print(f'mx_cons {$ours_s:.3f} s   ffmpeg CLI x60 {$cli_s:.3f} s   ratio {$ours_s / $cli_s:.2f}   one ffmpeg pass {$seq_s:.3f} s   ratio {$ours_s / $seq_s:.2f}')"
