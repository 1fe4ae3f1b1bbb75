#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) into
# build-fuzz/ and runs one target, or every target, for a number of seconds each:
#   scripts/fuzz.sh [target|all] [seconds]      (default: all, 60)
# Targets: language_file lang_data job_list_file ini_file dib chm sitemap.
# Each starts from a corpus seeded with real files of its kind (build-fuzz/corpus/<target>);
# what it finds is kept there, so later runs go on from it. A crash, leak or hang stops the
# target, leaves its input in build-fuzz/artifacts/<target>/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

all_targets=(language_file lang_data job_list_file ini_file dib chm sitemap)
target=${1:-all}
seconds=${2:-60}
if [ "$target" = all ]; then
    targets=("${all_targets[@]}")
else
    targets=("$target")
fi

dir=build-fuzz
flags=(-DMX_BUILD_FUZZ=ON -DMX_BUILD_TESTS=OFF -DMX_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
       -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
if command -v ccache >/dev/null 2>&1; then
    flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
fi
ninja -C "$dir" "${targets[@]/#/mx_fuzz_}"

# Seeds: the real files of each kind the program ships or writes.
seed() {
    local name=$1
    shift
    mkdir -p "$dir/corpus/$name"
    for file in "$@"; do
        [ -f "$file" ] && cp -f "$file" "$dir/corpus/$name/seed_$(basename "$file")"
    done
    return 0
}
seed language_file lang/*.lng
seed lang_data i18n/forms/*.langdata
seed job_list_file fuzz/seeds/job_list_file/*
seed ini_file fuzz/seeds/ini_file/*
seed chm help/mxextractor_help.chm
seed sitemap help/content/*.hhc help/content/*.hhk
mkdir -p "$dir/corpus/dib"
python3 - "$dir/corpus/dib" <<'PY'
import struct, sys
# Packed DIBs as the video source hands them out: 32 bits bottom-up, 24 bits padded, top-down.
for name, width, height, bits in (("rgb32", 4, 3, 32), ("rgb24", 3, 2, 24), ("topdown", 2, -2, 32)):
    stride = (width * bits // 8 + 3) // 4 * 4
    pixels = bytes((i * 37) % 256 for i in range(stride * abs(height)))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 0, 0, 0, 0)
    open(f"{sys.argv[1]}/seed_{name}", "wb").write(header + pixels)
PY

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for name in "${targets[@]}"; do
    mkdir -p "$dir/artifacts/$name"
    log="$dir/artifacts/$name/last_run.log"
    echo "fuzz: $name for ${seconds}s"
    if ! "$dir/fuzz/mx_fuzz_$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -max_len=262144 -print_final_stats=1 -artifact_prefix="$root/$dir/artifacts/$name/" \
        "$dir/corpus/$name" >"$log" 2>&1; then
        failed+=("$name")
        tail -n 40 "$log"
    fi
    # The last status line: executions, coverage (cov: edges, ft: features), corpus size.
    grep -E '^#[0-9]+' "$log" | tail -n 1 | sed "s/^/fuzz: $name /"
    grep -E 'stat::number_of_executed_units' "$log" | sed "s/^/fuzz: $name /" || true
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: FAILED ${failed[*]} (inputs in $dir/artifacts/)"
    exit 1
fi
echo "fuzz: every target ran clean"
