# Sourced by the bench scripts: the console tool under test, the clips they share and the job
# list writer. Needs MX_BENCH_WORK and MX_BUILD (bench/run.sh sets both).

cons="$MX_BUILD/cli/mx_cons"
if [ ! -x "$cons" ]; then
    echo "$cons is not built" >&2
    exit 1
fi

# mx_make_clip CLIP FFMPEG-ARGS...: made once and kept; encoded under another name first, so
# that an encode cut short is never taken for the clip.
mx_make_clip() {
    local clip=$1
    shift
    if [ ! -s "$clip" ]; then
        mkdir -p "$(dirname "$clip")"
        ffmpeg -hide_banner -loglevel error -y "$@" "$clip.part.${clip##*.}"
        mv "$clip.part.${clip##*.}" "$clip"
    fi
}

# The 60 s clips several scripts use: 1080p H.264 with x264's default key frame placement, as
# a camera or encoder would leave it (FILTERS, when given, are added to the source), and SD
# MPEG-4.
hd_clip="$MX_BENCH_WORK/extract/testsrc2_1080p_60s.mp4"
sd_clip="$MX_BENCH_WORK/extract/testsrc2_480p_60s.avi"
# mx_make_hd CLIP [FILTERS]
mx_make_hd() {
    mx_make_clip "$1" -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=60${2:-}" \
        -c:v libx264 -preset medium -pix_fmt yuv420p
}
mx_make_sd() {
    mx_make_clip "$1" -f lavfi -i "testsrc2=size=640x480:rate=25:duration=60" -c:v mpeg4 -q:v 4
}

# mx_job_list CLIP OUT [NAME=VALUE ...]: a job list file of one
# clip on standard output, JPEG at quality 75, 480 pixels, proportional positions, saved into
# OUT. NAMEs: count (11), start and every (the "Start at" seconds and interval: 0, 1), file
# (frame files: TRUE), matrix (a sheet: FALSE), everysec ("Start at" in use: FALSE), number
# (numbered names: TRUE).
mx_job_list() {
    local clip=$1 out=$2
    shift 2
    local count=11 start=0 every=1 file=TRUE matrix=FALSE everysec=FALSE number=TRUE
    [ $# -eq 0 ] || local "$@"
    printf '%s\r\n' "$clip" options BMPBtn_Checked=FALSE 480 "$count" 75 "$out" "$start" "$every" \
        JPGBtn_Checked=TRUE rbAutoWidth_Checked=TRUE "rbFrameFile_Checked=$file" \
        "rbMatrix_Checked=$matrix" rbProport_Checked=TRUE rbRandom_Checked=FALSE \
        "chkAddNumber_Checked=$number" chkFolder_Checked=FALSE chkSec_Checked=FALSE \
        "rbEverSec_Checked=$everysec" chktime_Checked=FALSE chkFilename_Checked=FALSE
}
