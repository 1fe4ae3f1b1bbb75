#!/usr/bin/env bash
# Eleven frames of a 60 s clip at i * 60 / 12 s: the console tool against the ffmpeg CLI
# (accurate input seeking, one process per frame) and ffmpegthumbnailer (one process per
# frame). Each figure is the median of three runs; ratios are ours / ffmpeg CLI.
# Needs MX_BENCH_WORK and MX_BUILD (bench/run.sh sets both).
set -euo pipefail
work="$MX_BENCH_WORK/extract"
mkdir -p "$work"
count=11

# Made once and kept: x264's default key frame placement, as a camera or encoder would leave it.
clip_hd="$work/testsrc2_1080p_60s.mp4"
clip_sd="$work/testsrc2_480p_60s.avi"
if [ ! -s "$clip_hd" ]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=60" \
        -c:v libx264 -preset medium -pix_fmt yuv420p "$clip_hd.part.mp4"
    mv "$clip_hd.part.mp4" "$clip_hd"
fi
if [ ! -s "$clip_sd" ]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=60" \
        -c:v mpeg4 -q:v 4 "$clip_sd.part.avi"
    mv "$clip_sd.part.avi" "$clip_sd"
fi

# The console tool once it is built; until then the stand-in that drives the same video source.
if [ -x "$MX_BUILD/cli/mx_cons" ]; then
    ours_name="mx_cons"
    ours() { "$MX_BUILD/cli/mx_cons" "$1" "$count" jpg -o "$2" >"$work/mx_cons.log" 2>&1; }
    ours_many() { "$MX_BUILD/cli/mx_cons" "$1" 59 jpg -o "$2" >"$work/mx_cons.log" 2>&1; }
elif [ -x "$MX_BUILD/bench/extract_bench" ]; then
    ours_name="extract_bench"
    ours() { "$MX_BUILD/bench/extract_bench" "$1" "$count" "$2" >/dev/null; }
    ours_many() { "$MX_BUILD/bench/extract_bench" "$1" 59 "$2" >/dev/null; }
else
    echo "neither $MX_BUILD/cli/mx_cons nor $MX_BUILD/bench/extract_bench is built" >&2
    exit 1
fi

decode_all() { ffmpeg -hide_banner -loglevel error -i "$1" -f null -; }

positions() { python3 -c "print(' '.join(f'{i * 60 / 12:g}' for i in range(1, $count + 1)))"; }
clock() { python3 -c "s=float('$1'); print(f'{int(s // 3600):02d}:{int(s % 3600 // 60):02d}:{s % 60:06.3f}')"; }

ffmpeg_cli() {
    local i=0
    for t in $(positions); do
        i=$((i + 1))
        ffmpeg -hide_banner -loglevel error -y -ss "$t" -i "$1" -frames:v 1 "$2/ffmpeg_$i.jpg"
    done
}

thumbnailer() {
    local i=0
    for t in $(positions); do
        i=$((i + 1))
        ffmpegthumbnailer -i "$1" -o "$2/thumb_$i.jpg" -s 0 -t "$(clock "$t")" >/dev/null 2>&1
    done
}

# Median wall time of three runs of "$@" (the last argument is a fresh output folder per run).
median3() {
    local times=()
    for run in 1 2 3; do
        local out
        out=$(mktemp -d "$work/out.XXXXXX")
        local start end
        start=$(date +%s.%N)
        "$@" "$out"
        end=$(date +%s.%N)
        times+=("$(python3 -c "print($end - $start)")")
        rm -rf "$out"
    done
    printf '%s\n' "${times[@]}" | sort -g | sed -n 2p
}

for clip in "$clip_hd" "$clip_sd"; do
    echo "-- $(basename "$clip"), $count frames"
    ours_s=$(median3 ours "$clip")
    ffmpeg_s=$(median3 ffmpeg_cli "$clip")
    line=$(python3 -c "print(f'$ours_name {$ours_s:.3f} s   ffmpeg CLI {$ffmpeg_s:.3f} s   ratio {$ours_s / $ffmpeg_s:.2f}')")
    if command -v ffmpegthumbnailer >/dev/null; then
        thumb_s=$(median3 thumbnailer "$clip")
        line+=$(python3 -c "print(f'   ffmpegthumbnailer {$thumb_s:.3f} s   ratio {$ours_s / $thumb_s:.2f}')")
    fi
    echo "$line"
done

# Many captures per file must cost about one pass over the file: 59 frames one second apart
# against the ffmpeg CLI decoding the whole clip once without writing anything.
echo "-- $(basename "$clip_hd"), 59 frames 1 s apart"
many_s=$(median3 ours_many "$clip_hd")
pass_s=$(median3 decode_all "$clip_hd")
python3 -c "print(f'$ours_name {$many_s:.3f} s   ffmpeg CLI decoding it all {$pass_s:.3f} s   ratio {$many_s / $pass_s:.2f}')"
