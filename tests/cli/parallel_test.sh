#!/usr/bin/env bash
# The README's one-machine recipe for large archives: GNU parallel runs one mx_cons per video
# of a folder tree. $1 is the mx_cons binary, $2 the README. Ends with "N passed, N failed" and
# exits non-zero when a check failed.
set -uo pipefail
tool=$(realpath "$1")
readme=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export HOME="$work/home" PARALLEL=--will-cite  # no citation notice, no ~/.parallel of the user
mkdir -p "$HOME"

source "$(dirname "$0")/../common/checks.sh"
if ! command -v parallel >/dev/null; then
    echo "FAILED: GNU parallel is not installed (Debian package parallel)" >&2
    exit 1
fi

# The recipe as the README has it, line for line.
recipe=$(sed -n '/^find archive -type f \\( -iname/,/parallel -0 --joblog/p' "$readme")
check "the README holds the recipe" test "$(wc -l <<<"$recipe")" = 3

# A small archive: three clips in folders (one with an upper-case extension), a clip whose name
# has a blank, a file that is not a video, and a text file that is not taken at all.
mkdir -p "$work/archive/2019/summer" "$work/archive/2020"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=160x120:rate=25:duration=4" \
    -c:v libx264 -pix_fmt yuv420p "$work/clip.mp4"
cp "$work/clip.mp4" "$work/archive/2019/summer/beach.mp4"
cp "$work/clip.mp4" "$work/archive/2019/city.MOV"
cp "$work/clip.mp4" "$work/archive/2020/new year.mp4"
echo "not a video" >"$work/archive/2020/broken.avi"
echo "notes" >"$work/archive/notes.txt"

mkdir "$work/bin"
ln -s "$tool" "$work/bin/mx_cons"
(cd "$work" && PATH="$work/bin:$PATH" bash -c "$recipe" >"$work/out" 2>"$work/err")
rc=$?
check "parallel exits with the number of failed files" test "$rc" = 1
frames_of() { (cd "$work/archive/$1" && ls ./*_0000?.jpg 2>/dev/null | wc -l); }
check "frames beside the first clip" test "$(frames_of 2019/summer)" = 9
check "frames beside the upper-case one" test "$(frames_of 2019)" = 9
check "frames beside the one with a blank" test "$(ls "$work/archive/2020"/new\ year_0000?.jpg | wc -l)" = 9
check "the job log has one row per video" test "$(tail -n +2 "$work/frames.log" | wc -l)" = 4
check "the failed one is the broken file" \
    test "$(awk -F'\t' 'NR > 1 && $7 != 0 { print $9 }' "$work/frames.log")" = \
    "mx_cons archive/2020/broken.avi 9 jpg -o archive/2020"
check "its name is on standard error" grep -qx "No frames from archive/2020/broken.avi" "$work/err"
check "the text file was not taken" bash -c "! grep -q notes '$work/frames.log'"
check "every run ends with Extract complete." \
    test "$(grep -c $'\tExtract complete.$' "$work/out")" = 4

report_checks
