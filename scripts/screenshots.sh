#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb: the main window during a run of three generated
# clips, the options dialog and the help viewer. Writes docs/main_window.png,
# docs/options_dialog.png and docs/help_viewer.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh mx_screenshots >/dev/null

work=$(mktemp -d)
trap 'kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
for name in beach city forest; do
    ffmpeg -hide_banner -loglevel error -y -f lavfi \
        -i "testsrc2=size=1280x720:rate=25:duration=20" -c:v libx264 -pix_fmt yuv420p \
        "$work/$name.mp4"
done
mkdir -p "$work/program" "$work/frames" docs
cp lang/*.lng build/app/mxextractor_help.chm "$work/program/"
# Settings of a typical run: 9 JPEG frames per file with time stamps, numbered.
printf '%s\r\n' "[options]" "BMPBtn_Checked=0" "CustomH=480" "FrameNumberEdit=9" "jpgTrackBar=85" \
    "pathEdit=$work/frames" "edtSecStart=1" "edtEverSec=5" "JPGBtn=1" \
    "rbAutoWidth=1" "rbFrameFile=1" "rbMatrix=0" "rbProport=1" "rbRandom=0" "chkAddNumber=1" \
    "chkFolder=0" "chkSec=0" "rbEverSec=0" "chktime=1" "chkFilename=1" >"$work/program/mxex2.ini"

Xvfb :97 -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=:97 QT_QPA_PLATFORM=xcb build/app/mx_screenshots "$work/program" docs \
    "$work/beach.mp4" "$work/city.mp4" "$work/forest.mp4"
ls -l docs/main_window.png docs/options_dialog.png docs/help_viewer.png
