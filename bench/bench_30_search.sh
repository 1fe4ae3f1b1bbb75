#!/usr/bin/env bash
# Folder search ("Add Folder") over a generated tree of 20,000 entries: the seven video masks,
# each walking the whole tree, against find(1) making the same seven case-insensitive walks.
# Prints tree entries visited per second (entries x masks / best time) and the speed relative to
# find (above 1 is faster), with the message pump after every entry and throttled to 5 ms.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
work=${MX_BENCH_WORK:-$top/build/bench-work}
build=${MX_BUILD:-$top/build}
tree=$work/search_tree
masks=('*.avi' '*.mov' '*.wmv' '*.mpg' '*.vob' '*.mpeg' '*.mp4')

# 20 folders of 9 subfolders, each of the 200 folders holding 99 or 100 files of mixed kinds:
# 200 folders + 19,800 files = 20,000 entries.
if [ ! -f "$work/search_tree.done" ]; then
    rm -rf "$tree"
    mkdir -p "$tree"
    for top_index in $(seq -w 0 19); do
        for sub_index in '' $(seq -w 1 9); do
            folder="$tree/group $top_index${sub_index:+/part $sub_index}"
            mkdir -p "$folder"
            (cd "$folder" && touch clip{00..19}.avi Take{00..09}.MOV scene{00..09}.mp4 \
                notes{00..29}.txt still{00..28}.jpg)
        done
    done
    touch "$work/search_tree.done"
fi
entries=$(find "$tree" -mindepth 1 | wc -l)

bench=$build/bench/search_bench
[ -x "$bench" ] || ninja -C "$build" search_bench >/dev/null
result=$("$bench" "$tree" 5 every)
seconds=${result#*seconds=}
matches=${result%% *}
result=$("$bench" "$tree" 5 throttled)
throttled=${result#*seconds=}

find_best=
for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    for mask in "${masks[@]}"; do
        find "$tree" -iname "$mask" >/dev/null
    done
    elapsed=$(( $(date +%s%N) - start ))
    if [ -z "$find_best" ] || [ "$elapsed" -lt "$find_best" ]; then
        find_best=$elapsed
    fi
done

awk -v e="$entries" -v s="$seconds" -v t="$throttled" -v f="$find_best" -v m="$matches" 'BEGIN {
    n = 7 * e
    f = f / 1e9
    printf "tree entries: %d, %s, masks: 7\n", e, m
    printf "search, pump after every entry: %.3f s, %.0f entries/s, %.2f x find\n", s, n / s, f / s
    printf "search, pump at most every 5 ms: %.3f s, %.0f entries/s, %.2f x find\n", t, n / t, f / t
    printf "find(1), seven walks:            %.3f s, %.0f entries/s\n", f, n / f
}'
