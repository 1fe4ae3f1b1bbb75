#!/usr/bin/env bash
# End-to-end checks of the console tool. $1 is the mx_cons binary. Ends with "N passed, N failed"
# and exits non-zero when a check failed.
set -uo pipefail
tool=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

source "$(dirname "$0")/../common/checks.sh"

# run <args...>: runs the tool with stdout, stderr and the exit code kept in $work.
run() {
    "$tool" "$@" >"$work/out" 2>"$work/err"
    echo $? >"$work/rc"
}
rc_is() { [ "$(cat "$work/rc")" = "$1" ]; }
out_has() { grep -q -- "$1" "$work/out"; }
err_has() { grep -q -- "$1" "$work/err"; }

run --help
check "--help exits 0" rc_is 0
check "--help prints the usage on standard output" out_has "^Usage: mx_cons <file> <Number Frames>"

# The first two lines are the windowed program's usage text byte for byte (LF before CR, the
# trailing blank); the console tool's own lines follow.
window_usage='Usage: mx_cons <file> <Number Frames> <jpg/bmp> <-w Width> <-h Height>\n\rExample: mx_cons video.avi 15 jpg -w640 -h480 \n'
check "the usage begins with the window's two lines" \
    test "$(head -c "$(printf "$window_usage" | wc -c)" "$work/out" | od -An -tx1)" = \
    "$(printf "$window_usage" | od -An -tx1)"
check "the usage names the exit status" out_has "^Exit status: 0 done; 1 an error"

run --version
check "--version exits 0" rc_is 0
check "--version prints the name and the version" test "$(cat "$work/out")" = "mx_cons 1.0"

run
check "no arguments exit 2" rc_is 2
check "no arguments print the usage on standard error" err_has "^Usage: mx_cons"
check "no arguments print nothing on standard output" test ! -s "$work/out"

# One argument is a job list; a video alone is a usage error, not a job list cut short.
run clip.mp4
check "a single video argument exits 2" rc_is 2
check "it says the argument is not a job list" err_has "^'clip.mp4' is not a job list file (\*.mxl)$"
check "and shows the usage" err_has "^Usage: mx_cons"
run clip.mp4 3
check "two arguments exit 2" rc_is 2

run clip.mp4 3 png
check "an unknown format exits 2" rc_is 2
run clip.mp4 many jpg
check "a number of frames that is not a number exits 2" rc_is 2
run clip.mp4 3 jpg -x
check "an unknown option exits 2" rc_is 2

clip="$work/clip.mp4"
if ! ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" \
    -c:v libx264 -pix_fmt yuv420p "$clip"; then
    echo "FAILED: cannot make the test clip with ffmpeg" >&2
    failed=$((failed + 1))
fi

mkdir "$work/jpg"
run "$clip" 5 jpg -w640 -h480 -o "$work/jpg"
check "a run exits 0" rc_is 0
check "a run writes five numbered JPEG files" \
    test "$(cd "$work/jpg" && ls)" = "$(printf 'clip_%05d.jpg\n' 1 2 3 4 5)"
check "the files are JPEG" bash -c "head -c 2 '$work/jpg/clip_00003.jpg' | od -An -tx1 | grep -q 'ff d8'"
check "log rows are date TAB time TAB text" out_has $'\t.*\t320 x 240$'
check "the capture rows name the files" out_has $'\t00:00:03 '"$work/jpg/clip_00003$"
check "the run ends with Extract complete." bash -c "tail -n 1 '$work/out' | grep -q \$'\tExtract complete.\$'"

size_of() { ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$1"; }
check "-w and -h scale the saved frames" test "$(size_of "$work/jpg/clip_00001.jpg")" = "640,480"
mkdir "$work/wide"
run "$clip" 1 jpg -w160 -o "$work/wide"
check "-w alone keeps the aspect ratio" test "$(size_of "$work/wide/clip_00001.jpg")" = "160,120"

# The second form: a job list in Matrix mode makes one contact sheet per file.
mkdir "$work/sheets"
cp "$clip" "$work/second.mp4"
{
    printf '%s\r\n' "$clip" "$work/second.mp4" options BMPBtn_Checked=TRUE 480 5 75 "$work/sheets" 1 5 \
        JPGBtn_Checked=FALSE rbAutoWidth_Checked=TRUE rbFrameFile_Checked=FALSE \
        rbMatrix_Checked=TRUE rbProport_Checked=TRUE rbRandom_Checked=FALSE \
        chkAddNumber_Checked=FALSE chkFolder_Checked=FALSE chkSec_Checked=FALSE \
        rbEverSec_Checked=FALSE chktime_Checked=FALSE chkFilename_Checked=FALSE
} >"$work/jobs.mxl"
run "$work/jobs.mxl"
check "a job list run exits 0" rc_is 0
check "it opens both files" test "$(grep -c $'\topen-' "$work/out")" = 2
check "it makes a sheet per file" test "$(cd "$work/sheets" && ls)" = "$(printf 'clip.bmp\nsecond.bmp')"
check "a sheet is 3 x 3 tiles under a 40-pixel band" \
    test "$(size_of "$work/sheets/clip.bmp")" = "960,760"
# On a terminal, standard error carries a live progress line; the log on standard output does not.
if command -v script >/dev/null; then
    mkdir "$work/live"
    script -qec "'$tool' '$clip' 3 jpg -o '$work/live' >'$work/live.out'" "$work/live.tty" \
        </dev/null >/dev/null
    check "a terminal shows the progress line" grep -aq "file 1/1  frame 3/3" "$work/live.tty"
    check "the log stays free of it" bash -c "! grep -q 'file 1/1' '$work/live.out'"
fi
printf '%s\r\n' "$clip" >"$work/short.mxl"
run "$work/short.mxl"
check "a job list without options exits 1" rc_is 1
run "$work/nothing.mxl"
check "a missing job list exits 1" rc_is 1
check "it says so" err_has "File not found"

mkdir "$work/bmp"
(cd "$work/bmp" && run "$clip" 2 bmp)
check "without -o the frames go to the current folder, as BMP" \
    bash -c "head -c 2 '$work/bmp/clip_00002.bmp' | grep -q BM"

run "$clip" 2 jpg -o "$work/missing"
check "a missing output folder exits 1" rc_is 1
check "the error names the file" err_has "^Cannot create file $work/missing/clip_00001.jpg"
check "no folder is created" test ! -e "$work/missing"

echo "not a video" >"$work/text.avi"
mkdir "$work/bad"
run "$work/text.avi" 2 jpg -o "$work/bad"
check "a file that is not a video runs through and exits 1" rc_is 1
check "it reports no picture size" out_has $'\t0 x 0$'
check "every capture fails" test "$(grep -c $'\tError extract frame$' "$work/out")" = 2
check "nothing is saved for it" test -z "$(ls "$work/bad")"
check "standard error names it on one line" \
    test "$(cat "$work/err")" = "No frames from $work/text.avi"

# Several files: a missing one and a non-video are named, the run goes on with the others.
mkdir "$work/many"
run "$work/gone.mp4" "$clip" "$work/text.avi" 2 jpg -o "$work/many"
check "a run with files that gave no frames exits 1" rc_is 1
check "each such file has one line on standard error" \
    test "$(cat "$work/err")" = "$(printf 'No frames from %s\n' "$work/gone.mp4" "$work/text.avi")"
check "the good file between them still gives its frames" \
    test "$(cd "$work/many" && ls)" = "$(printf 'clip_%05d.jpg\n' 1 2)"
check "all three are opened" test "$(grep -c $'\topen-' "$work/out")" = 3
check "the run ends with Extract complete." bash -c "tail -n 1 '$work/out' | grep -q \$'\tExtract complete.\$'"

# Folders are searched as "Add Folder" does: the video masks, recursively, grouped by mask.
mkdir -p "$work/tree/sub" "$work/fromtree"
cp "$clip" "$work/tree/a.mp4"
cp "$clip" "$work/tree/sub/b.avi"
cp "$clip" "$work/tree/sub/c.MP4"
echo "notes" >"$work/tree/notes.txt"
run "$work/tree/" "$clip" 1 bmp -o "$work/fromtree"
check "a folder argument runs its videos" rc_is 0
check "they are opened mask by mask, then the next argument" \
    test "$(grep $'\topen-' "$work/out" | cut -f3)" = "$(printf 'open-%s\n' "$work/tree/sub/b.avi" \
        "$work/tree/a.mp4" "$work/tree/sub/c.MP4" "$clip")"
check "nothing on standard error" test ! -s "$work/err"
mkdir "$work/empty"
run "$work/empty" 1 jpg -o "$work/fromtree"
check "a folder without videos is no failure" rc_is 0

# File names are bytes: folders and job lists whose names are Latin-1 (not UTF-8) are used by
# their own bytes, given on the command line (absolute and relative) and in a job list.
out=$work/$'out\xE0'
mkdir "$out"
run "$clip" 2 jpg -o "$out"
check "an output folder whose name is not UTF-8 is used" rc_is 0
check "the frames land in it" test "$(cd "$out" && ls)" = "$(printf 'clip_%05d.jpg\n' 1 2)"
check "the log shows a stand-in for the byte" out_has $'\t00:00:.. '"$work/out"$'\xEF\xBF\xBD/clip_00002$'
check "the log holds no raw byte" bash -c "! LC_ALL=C grep -q \$'\\xE0' '$work/out'"
rm -f "$out"/*
(cd "$work" && run "$clip" 1 jpg -o $'out\xE0')
check "a relative folder so named is found" test -s "$out/clip_00001.jpg"
rm -f "$out"/*
{
    printf '%s\r\n' "$clip" options BMPBtn_Checked=TRUE 480 1 75 "$out" 1 5 \
        JPGBtn_Checked=FALSE rbAutoWidth_Checked=TRUE rbFrameFile_Checked=TRUE \
        rbMatrix_Checked=FALSE rbProport_Checked=TRUE rbRandom_Checked=FALSE \
        chkAddNumber_Checked=FALSE chkFolder_Checked=FALSE chkSec_Checked=FALSE \
        rbEverSec_Checked=FALSE chktime_Checked=FALSE chkFilename_Checked=FALSE
} >"$work/"$'l\xE9.mxl'
run "$work/"$'l\xE9.mxl'
check "a job list so named, with such an output folder, runs" rc_is 0
check "its frame goes to that folder" test -s "$out/clip.bmp"
missing=$work/$'gone\xE9'
run "$clip" 1 jpg -o "$missing"
check "a missing folder so named is reported with its stand-in" \
    err_has "^Cannot create file $work/gone"$'\xEF\xBF\xBD'"/clip_00001.jpg$"

# A source whose name is not UTF-8, in a folder so named: its frames keep its bytes.
latin=$work/$'vid\xE9os'
mkdir "$latin"
cp "$clip" "$latin/"$'caf\xE9.mp4'
run "$latin/"$'caf\xE9.mp4' 2 jpg -o "$latin"
check "a source name that is not UTF-8 runs" rc_is 0
check "its picture size is read" out_has $'\t320 x 240$'
check "its frames keep the name's bytes" test -s "$latin/"$'caf\xE9_00002.jpg'
# The same folder given as an argument is searched by its bytes.
rm -f "$latin/"*.jpg
run "$latin" 1 jpg -o "$latin"
check "a folder so named is searched and its video found" rc_is 0
check "the video found there gives its frame under its own bytes" test -s "$latin/"$'caf\xE9_00001.jpg'

# Two videos of one base name in one run: the later one keeps its extension in its frames' names
# instead of replacing the earlier one's (the .avi mask is searched first).
mkdir -p "$work/twins" "$work/twins_out"
cp "$clip" "$work/twins/clip.mp4"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=160x120:rate=25:duration=6" \
    -c:v mpeg4 "$work/twins/clip.avi"
run "$work/twins" 3 jpg -o "$work/twins_out"
check "both videos' frames stay" test "$(cd "$work/twins_out" && ls)" = \
    "$(printf 'clip.mp4_%05d.jpg\n' 1 2 3; printf 'clip_%05d.jpg\n' 1 2 3)"
check "the plain names hold the first video's frames" \
    test "$(size_of "$work/twins_out/clip_00003.jpg")" = "160,120"
check "the log says the name was taken" \
    out_has $'\t'"$work/twins_out/clip is already used in this run: clip.mp4 is saved as $work/twins_out/clip.mp4$"

# A job list with an empty save path writes beside each video, never into the root folder.
mkdir "$work/beside"
name=beside_$$
cp "$clip" "$work/beside/$name.mp4"
{
    printf '%s\r\n' "$work/beside/$name.mp4" options BMPBtn_Checked=TRUE 480 1 75 "" 1 5 \
        JPGBtn_Checked=FALSE rbAutoWidth_Checked=TRUE rbFrameFile_Checked=TRUE \
        rbMatrix_Checked=FALSE rbProport_Checked=TRUE rbRandom_Checked=FALSE \
        chkAddNumber_Checked=FALSE chkFolder_Checked=FALSE chkSec_Checked=FALSE \
        rbEverSec_Checked=FALSE chktime_Checked=FALSE chkFilename_Checked=FALSE
} >"$work/beside.mxl"
run "$work/beside.mxl"
check "an empty save path saves beside the video" test -s "$work/beside/$name.bmp"
check "and nothing in the root folder" test ! -e "/$name.bmp"
rm -f "/$name.bmp"

# A full disk stops the run with exit 1 and the file's name; the frames before it are whole and
# no emptied or partial file is left. Needs a tmpfs of our own (root).
disk=$work/disk
mkdir "$disk"
if mount -t tmpfs -o size=256k tmpfs "$disk" 2>/dev/null; then
    trap 'umount -l "$disk" 2>/dev/null; rm -rf "$work"' EXIT
    free_kb() { df -k --output=avail "$disk" | tail -n 1 | tr -d ' '; }
    dd if=/dev/zero of="$disk/.filler" bs=1k count=$(($(free_kb) - 12)) status=none
    run "$clip" 5 jpg -w64 -h48 -o "$disk"  # small frames, well inside any write buffer
    check "a full disk exits 1" rc_is 1
    check "it names the frame that did not fit" err_has "^Cannot write file $disk/clip_00004.jpg$"
    check "the run does not claim success" bash -c "! grep -q 'Extract complete.' '$work/out'"
    check "three whole frames stay, nothing else" \
        test "$(cd "$disk" && ls)" = "$(printf 'clip_%05d.jpg\n' 1 2 3)"
    for f in "$disk"/clip_*.jpg; do
        check "$(basename "$f") is a whole JPEG" \
            bash -c "tail -c 2 '$f' | od -An -tx1 | grep -q 'ff d9'"
    done
    umount -l "$disk"
else
    echo "SKIPPED: full disk checks (cannot mount a tmpfs here: needs root)"
fi

report_checks
