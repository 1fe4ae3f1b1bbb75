#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize). Extra arguments go
# to ninja (target names).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DMX_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    shift
    dir=build-sanitize
    flags+=(-DMX_SANITIZE=ON -DMX_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Debug)
fi

# A compiler cache, where one is installed, lets several checkouts share their object files.
if command -v ccache >/dev/null 2>&1; then
    flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Configured every time, so that tools installed since (chmcmd for the help file) are found.
if [ -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" "${flags[@]}" >/dev/null
else
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
fi
ninja -C "$dir" "$@"
