#!/usr/bin/env bash
# Builds and runs every test (ctest). With --sanitize: the core tests under address and
# undefined-behaviour sanitizers, in build-sanitize/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--sanitize" ]; then
    bash scripts/build.sh --sanitize
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    cd build-sanitize && ctest -L core --output-on-failure -j2 --repeat until-pass:3
else
    bash scripts/build.sh
    cd build && ctest --output-on-failure -j2 --repeat until-pass:3
fi
