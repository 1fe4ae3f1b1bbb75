#!/usr/bin/env bash
# What --good-frames costs: eleven frames and one contact sheet of 60 s 1080p clips, with and
# without the option. One clip has no poor frame; in the others every other capture position
# lies in a poor stretch (black, white, blurred, flat grey, a fade) from 1 s before it to 1.2 s
# after it, so six of the eleven frames, or four of the nine tiles, are searched for. testsrc2
# repeats itself every 10 s, so that all its tiles look alike (a static shot, where every tile
# after the first is searched for and most move); the sheet clips pan it so that they do not.
# The peer is ffmpeg's thumbnail filter, which picks the most representative frame of each run of 136 frames (eleven picks over the
# clip) and so decodes all of it. Median of three runs, wall time and CPU time; ratios are
# with / without the option. Needs MX_BENCH_WORK and MX_BUILD (bench/run.sh sets both).
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/timing.sh"
work="$MX_BENCH_WORK/goodframes"
mkdir -p "$work"

box() { echo ",drawbox=enable='between(t,$1,$2)':x=0:y=0:w=iw:h=ih:color=$3:t=fill"; }
blur() { echo ",gblur=sigma=8:enable='between(t,$1,$2)'"; }
clean="$work/clean_1080p_60s.mp4"
poor_frames="$work/poor_frames_1080p_60s.mp4"
panning="$work/panning_1080p_60s.mp4"
poor_tiles="$work/poor_tiles_panning_1080p_60s.mp4"
mx_make_hd "$clean" ""
# Around 5, 15, 25, ... s: the odd frame positions.
mx_make_hd "$poor_frames" "$(box 4 6.2 black)$(box 14 16.2 white)$(blur 24 26.2)$(box 34 36.2 gray)$(box 44 46.2 black),fade=t=out:st=54:d=1:enable='between(t,54,56.2)'"
# Around 6, 18, 30 and 42 s: tiles 1, 3, 5 and 7.
pan=",scroll=h=0.001"
mx_make_hd "$panning" "$pan"
mx_make_hd "$poor_tiles" "$pan$(box 5 7.2 black)$(box 17 19.2 white)$(blur 29 31.2)$(box 41 43.2 gray)"


job_list() {
    mx_job_list "$1" "$2" count=9 start=1 every=5 file=FALSE matrix=TRUE number=FALSE
}

frames() { "$cons" "$clip" 11 jpg -o "$1" >"$work/frames.log" 2>&1; }
frames_good() { "$cons" "$clip" 11 jpg -o "$1" --good-frames >"$work/frames_good.log" 2>&1; }
sheet() {
    job_list "$clip" "$1" >"$1/sheet.mxl"
    "$cons" "$1/sheet.mxl" >"$work/sheet.log" 2>&1
}
sheet_good() {
    job_list "$clip" "$1" >"$1/sheet.mxl"
    "$cons" "$1/sheet.mxl" --good-frames >"$work/sheet_good.log" 2>&1
}
thumbnail() {
    ffmpeg -hide_banner -loglevel error -y -i "$clip" -vf thumbnail=136 -fps_mode vfr \
        -frames:v 11 -q:v 4 "$1/thumb_%02d.jpg"
}

export MEDIAN3_CPU=1
show() { python3 -c "w, c = '$1'.split(); print(f'{float(w):.3f} s (cpu {float(c):.3f} s)', end='')"; }
ratio() {
    python3 -c "a = [float(x) for x in '$1'.split()]; b = [float(x) for x in '$2'.split()]
print(f'ratio {a[0] / b[0]:.2f} (cpu {a[1] / b[1]:.2f})', end='')"
}

moves() { grep -c $'\tmoved ' "$work/$1.log" || true; }
for clip in "$clean" "$poor_frames"; do
    echo "-- $(basename "$clip")"
    plain_s=$(median3 frames)
    good_s=$(median3 frames_good)
    echo "11 frames: without $(show "$plain_s")   --good-frames $(show "$good_s") ($(moves frames_good) moved)   $(ratio "$good_s" "$plain_s")"
    thumb_s=$(median3 thumbnail)
    echo "ffmpeg thumbnail filter, 11 picks: $(show "$thumb_s")   --good-frames / it: $(ratio "$good_s" "$thumb_s")"
done
for clip in "$panning" "$poor_tiles" "$clean"; do
    echo "-- $(basename "$clip")"
    plain_s=$(median3 sheet)
    good_s=$(median3 sheet_good)
    echo "sheet:     without $(show "$plain_s")   --good-frames $(show "$good_s") ($(moves sheet_good) moved)   $(ratio "$good_s" "$plain_s")"
done
