# Sourced by the bench scripts. mx_job_list CLIP OUT [NAME=VALUE ...]: a job list file of one
# clip on standard output, JPEG at quality 75, 480 pixels, proportional positions, saved into
# OUT. NAMEs: count (11), start and every (the "Start at" seconds and interval: 0, 1), file
# (frame files: TRUE), matrix (a sheet: FALSE), everysec ("Start at" in use: FALSE), number
# (numbered names: TRUE).
mx_job_list() {
    local clip=$1 out=$2
    shift 2
    local count=11 start=0 every=1 file=TRUE matrix=FALSE everysec=FALSE number=TRUE
    local "$@"
    printf '%s\r\n' "$clip" options BMPBtn_Checked=FALSE 480 "$count" 75 "$out" "$start" "$every" \
        JPGBtn_Checked=TRUE rbAutoWidth_Checked=TRUE "rbFrameFile_Checked=$file" \
        "rbMatrix_Checked=$matrix" rbProport_Checked=TRUE rbRandom_Checked=FALSE \
        "chkAddNumber_Checked=$number" chkFolder_Checked=FALSE chkSec_Checked=FALSE \
        "rbEverSec_Checked=$everysec" chktime_Checked=FALSE chkFilename_Checked=FALSE
}
