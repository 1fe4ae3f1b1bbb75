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

# Usage errors, GNU style: exit 2 and one line saying what was wrong, before the usage text.
while IFS='|' read -r args message; do
    read -ra words <<<"$args"
    run "${words[@]}"
    check "'$args' exits 2" rc_is 2
    check "'$args' says: $message" bash -c "head -n 1 '$work/err' | grep -qx -- \"\$1\"" _ "$message"
done <<'ROWS'
clip.mp4 3 gif|'gif' is not bmp, jpg, png or webp
clip.mp4 many jpg|'many' is not a valid number of frames
clip.mp4 3 jpg -x|Unknown option -x
clip.mp4 3 jpg --bogus|Unknown option --bogus
clip.mp4 3 jpg --qual 90|Unknown option --qual
clip.mp4 3 jpg -output x|Unknown option -output (long options take two dashes: --output)
clip.mp4 3 jpg -q|-q needs a number
clip.mp4 3 jpg --quality=abc|'abc' is not a quality from 0 to 100
clip.mp4 3 jpg --quality 101|'101' is not a quality from 0 to 100
clip.mp4 3 jpg --sheet=yes|--sheet takes no value
clip.mp4 jpg --every 0|'0' is not a number of seconds above 0
clip.mp4 jpg --start 1|--start needs --every
clip.mp4 jpg --sheet --every 5|--sheet and --every exclude each other
--sheet clip.mp4|Expected <file>... <Number Frames> <bmp|jpg|png|webp>
clip.mp4 3 png --save-list x.mxl|--save-list: a job list carries no png or webp format
clip.mp4 3 jpg -w 64 --save-list x.mxl|--save-list: a job list carries no -w or -h
-o out list.mxl|A job list takes no options
ROWS

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

# --good-frames: the clip starts black, so the first of two captures (at 2 s) moves past it.
dark="$work/dark.mp4"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6,drawbox=enable='lt(t,2.5)':x=0:y=0:w=iw:h=ih:color=black:t=fill" \
    -c:v libx264 -pix_fmt yuv420p "$dark"
mkdir "$work/good"
run "$dark" 2 bmp --good-frames -o "$work/good"
check "--good-frames names the move and logs the frame's own time" \
    bash -c "grep -q \$'\tmoved 00:00:02 -> 00:00:02.60: black\$' '$work/out' && grep -q \$'\t00:00:03 $work/good/dark_00001\$' '$work/out'"
run --help
check "--help names --good-frames" out_has "^      --good-frames "

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

# -o makes its folder as mkdir -p does, with the user's umask.
(umask 027 && run "$clip" 2 jpg -o "$work/missing/deeper")
check "-o makes a missing folder and its parents" \
    test "$(cd "$work/missing/deeper" && ls)" = "$(printf 'clip_%05d.jpg\n' 1 2)"
check "with the user's umask" test "$(stat -c %a "$work/missing" "$work/missing/deeper")" = $'750\n750'
run "$clip" 2 jpg -o "$clip/sub"
check "a folder that cannot be made exits 1" rc_is 1
check "the error names it" test "$(cat "$work/err")" = "Cannot create folder $clip/sub: Not a directory"

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

# Each option against the job list that carries the same option: --save-list writes exactly that
# list, and running the list gives the same files, byte for byte. @t is the row's folder, @ini a
# settings file; "name=value" are the list's lines that differ from the plain run's.
t=$work/table
export XDG_CONFIG_HOME=$work/config
fields=(BMPBtn CustomH FrameNumberEdit jpgTrackBar pathEdit edtSecStart edtEverSec JPGBtn
    rbAutoWidth rbFrameFile rbMatrix rbProport rbRandom chkAddNumber chkFolder chkSec rbEverSec
    chktime chkFilename)
plain=(FALSE 480 3 75 "$t/out" 1 5 TRUE TRUE TRUE FALSE TRUE FALSE TRUE FALSE FALSE FALSE FALSE FALSE)
job_list() {  # job_list <name=value>...: the clip and the plain run's options so changed
    local -A value
    local i
    for i in "${!fields[@]}"; do value[${fields[$i]}]=${plain[$i]}; done
    for i in "$@"; do value[${i%%=*}]=${i#*=}; done
    printf '%s\r\n' "$t/clip.mp4" options
    for i in "${fields[@]}"; do
        case ${value[$i]} in
            TRUE | FALSE) printf '%s_Checked=%s\r\n' "$i" "${value[$i]}" ;;
            *) printf '%s\r\n' "${value[$i]}" ;;
        esac
    done
}
outputs() { (cd "$t" && find . -type f ! -name clip.mp4 ! -name '*.mxl' -exec md5sum {} + | sort -k 2); }
# The window's settings file, and another one named on the command line.
mkdir -p "$XDG_CONFIG_HOME/io.github.moxelby.frame_extractor"
settings='[options]\nBMPBtn_Checked=1\nFrameNumberEdit=2\njpgTrackBar=40\npathEdit=%s\nJPGBtn=0\nrbAutoWidth=1\nrbFrameFile=1\nrbRandom=1\nchkSec=%s\n'
printf "$settings" "$t/out" 1 >"$XDG_CONFIG_HOME/io.github.moxelby.frame_extractor/mxex2.ini"
printf "$settings" "$t/out" 0 >"$work/other.ini"
while IFS='|' read -r args changes; do
    args=${args//@t/$t}
    args=${args//@ini/$work/other.ini}
    read -ra words <<<"$args"
    read -ra lines <<<"$changes"
    rm -rf "$t" && mkdir -p "$t/out" && cp "$clip" "$t/clip.mp4"
    run "$t/clip.mp4" "${words[@]}" --save-list "$t/saved.mxl"
    job_list "${lines[@]}" >"$t/jobs.mxl"
    check "$args: --save-list writes the list" cmp -s "$t/saved.mxl" "$t/jobs.mxl"
    run "$t/clip.mp4" "${words[@]}"
    check "$args: exits 0" rc_is 0
    from_options=$(outputs)
    find "$t" -type f ! -name clip.mp4 ! -name '*.mxl' -delete
    run "$t/jobs.mxl"
    check "$args: gives the files of its list" test -n "$from_options" -a "$from_options" = "$(outputs)"
done <<'ROWS'
3 jpg -o @t/out|
3 jpg -o @t/out -q 90|jpgTrackBar=90
3 bmp --output=@t/out --quality=10|BMPBtn=TRUE JPGBtn=FALSE jpgTrackBar=10
jpg -o @t/out --sheet|FrameNumberEdit=11 rbFrameFile=FALSE rbMatrix=TRUE
3 jpg -o @t/out --random|rbProport=FALSE rbRandom=TRUE
jpg -o @t/out --every 2 --start 0|edtSecStart=0 edtEverSec=2 rbFrameFile=FALSE rbEverSec=TRUE FrameNumberEdit=11
3 jpg -o @t/out --stamp-time --stamp-name|chktime=TRUE chkFilename=TRUE
3 jpg -o @t/out --seconds --no-number|chkSec=TRUE chkAddNumber=FALSE
3 bmp -o @t/out --beside|BMPBtn=TRUE JPGBtn=FALSE chkFolder=TRUE
--settings -q 60|BMPBtn=TRUE FrameNumberEdit=2 jpgTrackBar=60 JPGBtn=FALSE rbProport=FALSE rbRandom=TRUE chkAddNumber=FALSE chkSec=TRUE
--settings=@ini 4 jpg|FrameNumberEdit=4 jpgTrackBar=40 rbProport=FALSE rbRandom=TRUE chkAddNumber=FALSE
ROWS
unset XDG_CONFIG_HOME

# PNG holds the very pixels of the BMP, frames and sheets alike; WebP is a picture of the size.
mkdir "$work/formats"
pixels() { ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 - | md5sum; }
for format in bmp png webp; do
    run "$clip" 2 "$format" -o "$work/formats"
    run "$clip" "$format" --sheet -o "$work/formats"
done
check "PNG frames have the pixels of the BMP frames" \
    test "$(pixels "$work/formats/clip_00002.png")" = "$(pixels "$work/formats/clip_00002.bmp")"
check "a PNG sheet has the pixels of the BMP sheet" \
    test "$(pixels "$work/formats/clip.png")" = "$(pixels "$work/formats/clip.bmp")"
check "PNG is 24-bit colour" bash -c "file '$work/formats/clip.png' | grep -q '8-bit/color RGB,'"
check "WebP frames and sheets are lossy WebP of their size" test "$(for f in clip_00002 clip; do
    head -c 16 "$work/formats/$f.webp" | tail -c 8; size_of "$work/formats/$f.webp"; done)" = \
    $'WEBPVP8 320,240\nWEBPVP8 960,760'

# --quiet drops the log rows only: files and error lines stay.
mkdir "$work/quiet"
run --quiet "$work/gone.mp4" "$clip" 1 jpg -o "$work/quiet"
check "--quiet writes no log rows" test ! -s "$work/out"
check "but still the error line" test "$(cat "$work/err")" = "No frames from $work/gone.mp4"
check "and the frames" test -s "$work/quiet/clip_00001.jpg"
run --quiet "$work/jobs.mxl"
check "a job list runs quietly too" test "$(cat "$work/rc")" = 0 -a ! -s "$work/out"
run "$clip" 1 jpg --save-list "$work/nowhere/jobs.mxl"
check "a job list that cannot be written is named" \
    test "$(cat "$work/rc") $(cat "$work/err")" = "1 Cannot write the job list $work/nowhere/jobs.mxl: Path not found"
# After --, every word is a file.
(cd "$work/quiet" && run -q 50 -- --help 1 jpg)
check "-- ends the options" test "$(cat "$work/err")" = "No frames from --help"

# The usage, the man page and both completions know every option.
run --help
options=$(grep -o -- '--[a-z][a-z-]*' "$work/out" | sort -u)
man_page=$(realpath "$(dirname "$0")/../../packaging/man/mx_cons.1")
for option in $options; do
    check "the man page has $option" bash -c "grep -A1 '^\\.TP' '$man_page' | grep -qF -- \" \$1\"" _ "${option//-/\\-}"
done
completions=$(realpath "$(dirname "$0")/../../cli/completions")
if [ -f /usr/share/bash-completion/bash_completion ]; then
    offered=$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" &&
        complete -p mx_cons >/dev/null && COMP_WORDS=(mx_cons --) COMP_CWORD=1 &&
        COMP_LINE="mx_cons --" COMP_POINT=10 && _mx_cons mx_cons -- mx_cons &&
        printf "%s\n" "${COMPREPLY[@]%=}"' _ "$completions/mx_cons.bash" | sort -u)
    check "bash completes every option" test "$offered" = "$options"
    mkdir "$work/complete" && cp "$clip" "$work/complete/a.MP4" && touch "$work/complete/notes.txt"
    offered=$(cd "$work/complete" && bash -c 'source /usr/share/bash-completion/bash_completion &&
        source "$1" && COMP_WORDS=(mx_cons "") COMP_CWORD=1 COMP_LINE="mx_cons " COMP_POINT=8 &&
        _mx_cons mx_cons "" mx_cons && printf "%s\n" "${COMPREPLY[@]}"' _ "$completions/mx_cons.bash")
    check "bash offers videos, not other files" test "$offered" = a.MP4
else
    echo "SKIPPED: bash completion (bash-completion is not installed)"
fi
if command -v zsh >/dev/null; then
    check "zsh loads its completion" zsh -fc "fpath=('$completions' \$fpath); autoload -Uz _mx_cons && autoload +X _mx_cons"
    for option in $options; do
        check "zsh completes $option" grep -qE -- "[^a-z-]$option=?-?\[" "$completions/_mx_cons"
    done
else
    echo "SKIPPED: zsh completion (zsh is not installed)"
fi

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
check "a missing folder so named is made by its bytes" test -s "$missing/clip_00001.jpg"

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

# Signals on a large BMP write (a 100 MB frame): SIGHUP stops the run once the frame being
# written is whole; a second signal does not wait for it and leaves no hidden temporary file.
# The process is held (SIGSTOP) while its temporary file exists, so the signals find it there.
start_big_run() {
    rm -rf "$work/signal" && mkdir "$work/signal"
    "$tool" "$clip" 3 bmp -w7680 -h4320 -o "$work/signal" >"$work/out" 2>"$work/err" &
    pid=$!
    local limit=$((SECONDS + 60))
    until compgen -G "$work/signal/.clip_*" >/dev/null; do
        ((SECONDS < limit)) && kill -0 "$pid" 2>/dev/null || return 1
    done
}
signal_folder_holds() { test "$(cd "$work/signal" && ls -A)" = "$1"; }
if start_big_run; then
    kill -STOP "$pid"
    kill -HUP "$pid"
    kill -CONT "$pid"
    wait "$pid"
    rc=$?
    check "SIGHUP ends the run with 129" test "$rc" = 129
    check "the frame being written is finished, and no other" signal_folder_holds clip_00001.bmp
    check "it is whole" test "$(stat -c %s "$work/signal/clip_00001.bmp")" = \
        "$(od -An -tu4 -j2 -N4 "$work/signal/clip_00001.bmp" | tr -d ' ')"
    check "the log says the run was aborted" out_has $'\tAborted.$'
else
    check "a large BMP write under way" false
fi
if start_big_run; then
    kill -STOP "$pid"
    caught=$(compgen -G "$work/signal/.clip_*")
    # Two signals sent at once may be taken in either order: the second goes once the process
    # has taken the first (nothing pending for it any more), while the large write goes on.
    kill -INT "$pid"
    kill -CONT "$pid"
    until [ "$(awk '/^ShdPnd:/ {print $2}' "/proc/$pid/status" 2>/dev/null)" != 0000000000000002 ]; do :; done
    kill -TERM "$pid"
    wait "$pid"
    rc=$?
    check "a second signal ends the run with its own status (SIGTERM: 143)" test "$rc" = 143
    check "it removes the temporary file being written" test -n "$caught" -a ! -e "$caught"
    check "and leaves nothing in the folder" signal_folder_holds ""
else
    check "a large BMP write under way" false
fi
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
