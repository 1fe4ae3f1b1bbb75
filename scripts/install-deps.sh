#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need. Run as root.
# Does nothing when every package is present already.
set -euo pipefail

packages=(
    cmake ninja-build build-essential pkg-config git ccache
    qt6-base-dev
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
    libjpeg62-turbo-dev libwebp-dev libicu-dev libmspack-dev libmspack0
    fonts-wine libgtest-dev ffmpeg
    # fuzz targets: clang with libFuzzer and the sanitizer runtimes
    clang libclang-rt-14-dev
    # window tests and screenshots, benchmarks against other tools
    xvfb xauth ffmpegthumbnailer python3-pil hyperfine
    # windows under a real window manager: frames, placement, minimising
    openbox x11-utils
    # the installed layout and the Debian package: checks, dependencies, driving the window
    desktop-file-utils appstream dpkg-dev file man-db xdotool lintian mmdebstrap
    # the console tool's shell completions are loaded by the shells themselves
    bash-completion zsh
    # reading the committed help file back to compare it with its sources
    p7zip-full
    # spreading the console tool over all cores
    parallel
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
