#!/usr/bin/env bash
# Eleven frames of a 60 s clip at i * 60 / 12 s: the console tool against the ffmpeg CLI
# (accurate input seeking, one process per frame) and ffmpegthumbnailer (one process per
# frame). Each figure is the median of three runs, wall time and in brackets CPU time (user +
# system of all processes); ratios are ours / ffmpeg CLI. All three are multi-threaded: mx_cons
# decodes eleven captures in different groups of pictures on two single-threaded decoders at
# once and the 59 close ones on one decoder with FFmpeg's frame threads, the ffmpeg CLI uses
# frame threads, ffmpegthumbnailer whatever its libavcodec chooses; the CPU/wall figure
# printed for mx_cons says how much of the cores it used.
# Needs MX_BENCH_WORK and MX_BUILD (bench/run.sh sets both).
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/timing.sh"
work="$MX_BENCH_WORK/extract"
mkdir -p "$work"
count=11

clip_hd=$hd_clip
clip_sd=$sd_clip
mx_make_hd "$clip_hd"
mx_make_sd "$clip_sd"
ours_name="mx_cons"
ours() { "$cons" "$1" "$count" jpg -o "$2" >"$work/mx_cons.log" 2>&1; }
ours_many() { "$cons" "$1" 59 jpg -o "$2" >"$work/mx_cons.log" 2>&1; }

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


export MEDIAN3_CPU=1
# "wall s (cpu s)" for one median3 result, and the ratio of two results in wall and CPU time.
show() { python3 -c "w, c = '$1'.split(); print(f'{float(w):.3f} s (cpu {float(c):.3f} s)', end='')"; }
ratio() {
    python3 -c "a = [float(x) for x in '$1'.split()]; b = [float(x) for x in '$2'.split()]
print(f'ratio {a[0] / b[0]:.2f} (cpu {a[1] / b[1]:.2f})', end='')"
}

echo "threads: multi-threaded figures (mx_cons: two decoders, or one with frame threads), $(nproc) cores"
# CPU time over wall time of one median3 result: how many cores were kept busy.
busy() { python3 -c "w, c = '$1'.split(); print(f'cpu/wall {float(c) / float(w):.2f}', end='')"; }

for clip in "$clip_hd" "$clip_sd"; do
    echo "-- $(basename "$clip"), $count frames"
    ours_s=$(median3 ours "$clip")
    ffmpeg_s=$(median3 ffmpeg_cli "$clip")
    echo "$ours_name $(show "$ours_s") $(busy "$ours_s")   ffmpeg CLI $(show "$ffmpeg_s")   $(ratio "$ours_s" "$ffmpeg_s")"
    if command -v ffmpegthumbnailer >/dev/null; then
        thumb_s=$(median3 thumbnailer "$clip")
        echo "    ffmpegthumbnailer $(show "$thumb_s")   ours / it: $(ratio "$ours_s" "$thumb_s")"
    fi
done

# Many captures per file must cost about one pass over the file: 59 frames one second apart
# against the ffmpeg CLI decoding the whole clip once without writing anything.
echo "-- $(basename "$clip_hd"), 59 frames 1 s apart"
many_s=$(median3 ours_many "$clip_hd")
pass_s=$(median3 decode_all "$clip_hd")
echo "$ours_name $(show "$many_s") $(busy "$many_s")   ffmpeg CLI decoding it all $(show "$pass_s")   $(ratio "$many_s" "$pass_s")"
