#!/usr/bin/env bash
# The benchmark harness: builds the release binaries, makes the clips once into bench/.work/
# (or $MX_BENCH_WORK) and runs every bench/bench_*.sh in name order. Each prints its figures
# as ratios against the peer tools measured in the same run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
export MX_BENCH_WORK=${MX_BENCH_WORK:-$top/build/bench-work}
export MX_BUILD=${MX_BUILD:-$top/build}
mkdir -p "$MX_BENCH_WORK"
bash "$top/scripts/build.sh" >/dev/null
for script in "$here"/bench_*.sh; do
    [ -e "$script" ] || continue
    if [ $# -gt 0 ] && [[ "$(basename "$script")" != *"$1"* ]]; then
        continue
    fi
    echo "== $(basename "$script")"
    bash "$script"
done
