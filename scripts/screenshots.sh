#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb in English, German and Russian: the main window
# during a run of three generated clips, the options dialog, the about box and the help viewer.
# Writes docs/<window>.png in English and docs/<window>_de.png, docs/<window>_ru.png (palette
# PNGs, to keep them small), and refreshes the two screenshots the help topics show
# (help/content/images/, English).
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
mkdir -p docs

# Xvfb at 96 dots per inch; the windows scale their design (106 dpi) to it.
display=:97
Xvfb "$display" -screen 0 1280x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

for lang in en:1033 de:1031 ru:1049; do
    code=${lang%%:*}
    id=${lang##*:}
    suffix=_$code
    [ "$code" = en ] && suffix=
    program="$work/program-$code"
    mkdir -p "$program" "$work/frames-$code" "$work/shots-$code"
    cp lang/*.lng build/app/mxextractor_help.chm "$program/"
    # Settings of a typical run: 9 JPEG frames per file with time stamps, numbered.
    printf '%s\r\n' "[options]" "BMPBtn_Checked=0" "CustomH=480" "FrameNumberEdit=9" \
        "jpgTrackBar=85" "pathEdit=$work/frames-$code" "edtSecStart=1" "edtEverSec=5" \
        "JPGBtn=1" "rbAutoWidth=1" "rbFrameFile=1" "rbMatrix=0" "rbProport=1" "rbRandom=0" \
        "chkAddNumber=1" "chkFolder=0" "chkSec=0" "rbEverSec=0" "chktime=1" "chkFilename=1" \
        "[Form]" "language=$id" >"$program/mxex2.ini"
    DISPLAY=$display QT_QPA_PLATFORM=xcb build/app/mx_screenshots "$program" \
        "$work/shots-$code" "$suffix" "$work/beach.mp4" "$work/city.mp4" "$work/forest.mp4"
    for shot in "$work/shots-$code"/*.png; do
        ffmpeg -hide_banner -loglevel error -y -i "$shot" \
            -vf "split[a][b];[a]palettegen=max_colors=128[p];[b][p]paletteuse=dither=none" \
            "docs/$(basename "$shot")"
    done
done
# The help topics show the English windows at the width of the viewer's topic pane.
for shot in main_window options_dialog; do
    ffmpeg -hide_banner -loglevel error -y -i "$work/shots-en/$shot.png" \
        -vf "scale=400:-1:flags=lanczos,split[a][b];[a]palettegen=max_colors=128[p];[b][p]paletteuse=dither=none" \
        "help/content/images/$shot.png"
done
ls -l docs/*.png
