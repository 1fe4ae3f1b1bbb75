#!/usr/bin/env bash
# Folder search ("Add Folder") over a generated tree of 50,000 entries, against find(1) in the
# same run:
# - the real main window's Add Folder (offscreen, or on $DISPLAY when QT_QPA_PLATFORM is set
#   so), every match becoming a row of the job list view, against one find walk reporting the
#   matches of the seven video masks;
# - the folder search alone for the seven masks, each walking the whole tree again, with the
#   message pump after every entry and throttled to 5 ms, against find making the same seven
#   case-insensitive walks.
# Rates are tree entries per second; above 1 x find is faster than find.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
work=${MX_BENCH_WORK:-$top/build/bench-work}
build=${MX_BUILD:-$top/build}
tree=$work/search_tree_50k
masks=('*.avi' '*.mov' '*.wmv' '*.mpg' '*.vob' '*.mpeg' '*.mp4')

# 50 folders of 9 subfolders, each of the 500 folders holding 99 files of mixed kinds:
# 500 folders + 49,500 files = 50,000 entries, 20,000 of them video files.
if [ ! -f "$work/search_tree_50k.done" ]; then
    rm -rf "$tree"
    mkdir -p "$tree"
    for top_index in $(seq -w 0 49); do
        for sub_index in '' $(seq -w 1 9); do
            folder="$tree/group $top_index${sub_index:+/part $sub_index}"
            mkdir -p "$folder"
            (cd "$folder" && touch clip{00..19}.avi Take{00..09}.MOV scene{00..09}.mp4 \
                notes{00..29}.txt still{00..28}.jpg)
        done
    done
    touch "$work/search_tree_50k.done"
fi
entries=$(find "$tree" -mindepth 1 | wc -l)

for program in search_bench add_folder_bench; do
    [ -x "$build/bench/$program" ] || ninja -C "$build" "$program" >/dev/null
done

# Best of five, in nanoseconds, of a command.
best_of() {
    local best= start elapsed
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$@" >/dev/null
        elapsed=$(($(date +%s%N) - start))
        if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then
            best=$elapsed
        fi
    done
    echo "$best"
}
find_one_walk() {
    find "$tree" \( -iname "${masks[0]}" -o -iname "${masks[1]}" -o -iname "${masks[2]}" \
        -o -iname "${masks[3]}" -o -iname "${masks[4]}" -o -iname "${masks[5]}" \
        -o -iname "${masks[6]}" \) -print
}
find_seven_walks() {
    for mask in "${masks[@]}"; do
        find "$tree" -iname "$mask"
    done
}

window=$(QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/add_folder_bench" "$tree" 5 2>/dev/null)
window_seconds=${window#*seconds=}
rows=${window%% *}
find_one=$(best_of find_one_walk)
find_matches=$(find_one_walk | wc -l)

result=$("$build/bench/search_bench" "$tree" 3 every)
seconds=${result#*seconds=}
result=$("$build/bench/search_bench" "$tree" 5 throttled)
throttled=${result#*seconds=}
matches=${result%% *}
find_seven=$(best_of find_seven_walks)

awk -v e="$entries" -v w="$window_seconds" -v r="$rows" -v fm="$find_matches" -v f1="$find_one" \
    -v s="$seconds" -v t="$throttled" -v f7="$find_seven" -v m="$matches" 'BEGIN {
    f1 = f1 / 1e9
    f7 = f7 / 1e9
    printf "tree entries: %d, %s, find matches: %d\n", e, r, fm
    printf "Add Folder in the window:        %.3f s, %.0f entries/s, %.2f x one find walk\n", w, e / w, f1 / w
    printf "find(1), one walk, seven masks:  %.3f s, %.0f entries/s\n", f1, e / f1
    n = 7 * e
    printf "search alone (%s), seven masks over the tree:\n", m
    printf "  pump after every entry:        %.3f s, %.0f entries/s, %.2f x find\n", s, n / s, f7 / s
    printf "  pump at most every 5 ms:       %.3f s, %.0f entries/s, %.2f x find\n", t, n / t, f7 / t
    printf "find(1), seven walks:            %.3f s, %.0f entries/s\n", f7, n / f7
}'
