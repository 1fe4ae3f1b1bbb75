#!/usr/bin/env bash
# Where one run's CPU goes, against the floor's decoding: cpu_split.sh JOBS CLIP FLOOR_ARGS...
# runs mx_cons on the job list JOBS once under perf and once timed, and prints its wall and CPU
# time, the CPU its decoders spent in libavcodec beside the decoding the floor counts (floor.py
# with FLOOR_ARGS, e.g. --every 0 1), and the rest: conversion, JPEG, file writes, the kernel.
# Needs perf and MX_BUILD; the job list's output folder is emptied after each run.
set -euo pipefail
jobs=$1 clip=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
cons="$MX_BUILD/cli/mx_cons"
out=$(sed -n 7p "$jobs" | tr -d '\r')
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
perf record -q -F 1999 -o "$tmp/perf.data" "$cons" "$jobs" >/dev/null 2>&1
find "$out" -mindepth 1 -delete
/usr/bin/time -f "%e %U %S" -o "$tmp/time" "$cons" "$jobs" >/dev/null 2>&1
find "$out" -mindepth 1 -delete
read -r wall user sys <"$tmp/time"
read -r floor floorDecode <<<"$(python3 "$here/floor.py" "$clip" "$@" --decode-cpu)"
perf report -q -i "$tmp/perf.data" --no-children --sort dso -g none 2>/dev/null |
    awk -v wall="$wall" -v cpu="$(python3 -c "print($user + $sys)")" -v floor="$floor" -v floorDecode="$floorDecode" '
    { share = $1; sub("%", "", share); if ($2 ~ /libavcodec/) decode += share; else rest += share }
    END {
        printf "wall %.2f s, cpu %.2f s; floor %.2f s, wall / floor %.2f; decoding %.2f s cpu, " \
               "%.2f of the floor'"'"'s %.2f s; the rest %.2f s cpu\n", wall, cpu, floor, wall / floor,
               cpu * decode / 100, cpu * decode / 100 / floorDecode, floorDecode, cpu * rest / 100
    }'
