#!/usr/bin/env bash
# Every capture plan against its decode floor (floor.py): what two cores must at least decode
# for the exact frames. For each case, paired runs of mx_cons and of the floor's decoding pass
# (one after the other, so both see the same load on a shared machine) give one ratio each;
# the median of $MX_FLOOR_PAIRS pairs (5 unless set) is printed with the lowest and highest.
# Beside it, one run each of the ffmpeg CLI (accurate input seeking, one process per capture)
# and ffmpegthumbnailer (one process per capture) at the same times: ours / theirs in wall
# time. Cases: 11 frames, 59 frames 1 s apart, "Start at" 0 every second and a 3 x 3 sheet,
# on 1080p H.264, 1080p H.264 with noise (key frames at x264's scene cuts), 4K HEVC 10-bit
# with a key frame every 4 s, SD MPEG-4 and a small clip; and 40 copies of the small clip in
# one folder, 9 frames each, against the sum of their floors and against the README's GNU
# parallel recipe (one mx_cons per file on every core), $MX_FLOOR_FOLDER_PAIRS paired runs (3
# unless set). Each case also gives its ratio to the floor of whole groups (floor.py
# --whole-groups), where each key frame's span is decoded on one core: the part of the ratio
# below it lies in spans two single-threaded decoders cannot share (a clip of one group, on one
# decoder with its own threads, goes below it). MX_FLOOR_CASES, a regular expression, picks
# cases by their name. Needs MX_BENCH_WORK and MX_BUILD (bench/run.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"
here=$(cd "$(dirname "$0")" && pwd)
work="$MX_BENCH_WORK/floor"
mkdir -p "$work" "$MX_BENCH_WORK/extract"
pairs=${MX_FLOOR_PAIRS:-5}
only=${MX_FLOOR_CASES:-.}

src() { echo "testsrc2=size=$1:rate=25:duration=$2"; }
hd=$hd_clip
sd=$sd_clip
noisy="$work/noisy_1080p_60s.mp4"
hevc="$work/hevc10_2160p_20s.mkv"
small="$work/small_240p_10s.mp4"
# Whether MX_FLOOR_CASES picks any case of a clip: clips no case needs are not made.
wanted() {
    local c cases=("11 frames" "59 frames" "start at, every 1 s" "3x3 sheet")
    [ "$1" = small ] && cases+=("x40 folder")
    for c in "${cases[@]}"; do
        [[ "$1 $c" =~ $only ]] && return 0
    done
    return 1
}
wanted hd && mx_make_hd "$hd"
wanted sd && mx_make_sd "$sd"
wanted noisy && mx_make_clip "$noisy" -f lavfi -i "$(src 1920x1080 60)" -vf noise=alls=20:allf=t -c:v libx264 \
    -preset fast -pix_fmt yuv420p
wanted hevc4k && mx_make_clip "$hevc" -f lavfi -i "$(src 3840x2160 20)" -c:v libx265 -preset ultrafast \
    -pix_fmt yuv420p10le -x265-params keyint=100:min-keyint=100:scenecut=0:log-level=none
wanted small && mx_make_clip "$small" -f lavfi -i "$(src 320x240 10)" -c:v libx264 -preset medium -pix_fmt yuv420p

# job_list CLIP MODE OUT: a job list file for one case (JPEG 75, numbered names). MODE is
# "frames N", "every" (Start at 0, every 1 s) or "sheet".
job_list() {
    case "$2" in
        frames*) mx_job_list "$1" "$3" "count=${2#frames }" ;;
        every) mx_job_list "$1" "$3" file=FALSE everysec=TRUE ;;
        sheet) mx_job_list "$1" "$3" file=FALSE matrix=TRUE number=FALSE ;;
    esac
}
floor_args() {
    case "$1" in
        frames*) echo "--frames ${1#frames }" ;;
        every) echo "--every 0 1" ;;
        sheet) echo "--sheet" ;;
    esac
}

now() { date +%s.%N; }
# wall CMD...: the wall time of one run in seconds.
wall() {
    local start
    start=$(now)
    "$@" >/dev/null 2>&1
    python3 -c "print($(now) - $start)"
}
ours() {
    local out
    out=$(mktemp -d "$work/out.XXXXXX")
    job_list "$1" "$2" "$out" >"$out/jobs.mxl"
    "$cons" "$out/jobs.mxl" >"$work/mx_cons.log" 2>&1
    rm -rf "$out"
}
ffmpeg_cli() {
    local out i=0
    out=$(mktemp -d "$work/out.XXXXXX")
    for t in $3; do
        i=$((i + 1))
        ffmpeg -hide_banner -loglevel error -y -ss "$t" -i "$1" -frames:v 1 "$out/$i.jpg"
    done
    rm -rf "$out"
}
thumbnailer() {
    local out i=0
    out=$(mktemp -d "$work/out.XXXXXX")
    for t in $3; do
        i=$((i + 1))
        ffmpegthumbnailer -i "$1" -o "$out/$i.jpg" -s 0 \
            -t "$(python3 -c "s=$t; print(f'{int(s//3600):02d}:{int(s%3600//60):02d}:{s%60:06.3f}')")"
    done
    rm -rf "$out"
}

echo "floor: share of frames from each capture's key frame x one single-threaded noref pass" \
    "(cpu) / $(nproc) cores + 0.05 s; whole groups: over the floor of each key frame's span on" \
    "one core; $pairs paired runs a case"
run_case() {
    local name=$1 clip=$2 mode=$3
    [[ "$name" =~ $only ]] || return 0
    local fargs times
    fargs=$(floor_args "$mode")
    # shellcheck disable=SC2086
    times=$(python3 "$here/floor.py" "$clip" $fargs --times | tr '\n' ' ')
    local ratios=() floors=() walls=() wholes=()
    for _ in $(seq "$pairs"); do
        local w f g
        w=$(wall ours "$clip" "$mode")
        # shellcheck disable=SC2086
        read -r f g <<<"$(python3 "$here/floor.py" "$clip" $fargs --whole-groups)"
        walls+=("$w")
        floors+=("$f")
        ratios+=("$(python3 -c "print($w / $f)")")
        wholes+=("$(python3 -c "print($w / $g)")")
    done
    local peers=""
    local med_wall
    med_wall=$(printf '%s\n' "${walls[@]}" | sort -g | sed -n "$(((pairs + 1) / 2))p")
    local cli
    cli=$(wall ffmpeg_cli "$clip" "$mode" "$times")
    peers+=$(python3 -c "print(f'ffmpeg CLI {$cli:.2f} s, ours / it {$med_wall / $cli:.2f}', end='')")
    if command -v ffmpegthumbnailer >/dev/null; then
        local thumb
        thumb=$(wall thumbnailer "$clip" "$mode" "$times")
        peers+=$(python3 -c "print(f'   ffmpegthumbnailer {$thumb:.2f} s, ours / it {$med_wall / $thumb:.2f}', end='')")
    fi
    python3 - "$name" "${ratios[*]}" "${floors[*]}" "$med_wall" "${wholes[*]}" "$peers" <<'PY'
import statistics, sys
name, ratios, floors, wall, wholes, peers = sys.argv[1:]
r = sorted(float(x) for x in ratios.split())
f = statistics.median(float(x) for x in floors.split())
g = statistics.median(float(x) for x in wholes.split())
print(f"{name:28s} mx_cons {float(wall):6.2f} s  floor {f:6.2f} s  over floor "
      f"{statistics.median(r):.2f} ({r[0]:.2f}-{r[-1]:.2f}), whole groups {g:.2f}   {peers}")
PY
}

for clip_case in "hd:$hd" "noisy:$noisy" "hevc4k:$hevc" "sd:$sd" "small:$small"; do
    label=${clip_case%%:*}
    clip=${clip_case#*:}
    run_case "$label 11 frames" "$clip" "frames 11"
    case "$label" in hd | noisy) run_case "$label 59 frames" "$clip" "frames 59" ;; esac
    run_case "$label start at, every 1 s" "$clip" every
    run_case "$label 3x3 sheet" "$clip" sheet
done

# Many small files: one mx_cons over the folder, the README's recipe over the same files.
folder_case() {
    local name="small x40 folder"
    [[ "$name" =~ $only ]] || return 0
    local dir="$work/small_x40" i
    mkdir -p "$dir"
    for i in $(seq -w 1 40); do
        [ -s "$dir/small_$i.mp4" ] || cp "$small" "$dir/small_$i.mp4"
    done
    command -v parallel >/dev/null || { echo "$name: GNU parallel is not installed" >&2; return 0; }
    export PARALLEL=--will-cite
    local folder_pairs=${MX_FLOOR_FOLDER_PAIRS:-3} over=() against=() walls=() recipes=() sums=()
    for _ in $(seq "$folder_pairs"); do
        local out w r f
        out=$(mktemp -d "$work/out.XXXXXX")
        w=$(wall "$cons" "$dir" 9 jpg -o "$out")
        rm -rf "$out"
        # The recipe as the README has it: frames beside each video.
        r=$(wall bash -c "find '$dir' -type f -iname '*.mp4' -print0 | parallel -0 '$cons' {} 9 jpg -o {//}")
        find "$dir" -name '*.jpg' -delete
        # The copies are alike: one floor stands for each.
        f=$(python3 -c "print(40 * $(python3 "$here/floor.py" "$small" --frames 9))")
        walls+=("$w")
        recipes+=("$r")
        sums+=("$f")
        over+=("$(python3 -c "print($w / $f)")")
        against+=("$(python3 -c "print($w / $r)")")
    done
    python3 - "$name" "${walls[*]}" "${recipes[*]}" "${sums[*]}" "${over[*]}" "${against[*]}" <<'PY'
import statistics, sys
name, walls, recipes, sums, over, against = sys.argv[1:]
med = lambda text: statistics.median(float(x) for x in text.split())
span = lambda text: f"{min(float(x) for x in text.split()):.2f}-{max(float(x) for x in text.split()):.2f}"
print(f"{name:28s} mx_cons {med(walls):6.2f} s  sum of floors {med(sums):6.2f} s  over it "
      f"{med(over):.2f} ({span(over)})   parallel recipe {med(recipes):.2f} s, ours / it "
      f"{med(against):.2f} ({span(against)})")
PY
}
folder_case
